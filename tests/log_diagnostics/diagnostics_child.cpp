// A program that the diagnostics tests start as separate processes:
//   diagnostics_child churn <folder> <count>  registers and unregisters <count> crash logs one
//                                              after the other and checks the crash-list file
//                                              after each step; exit 0 when every check held
//   diagnostics_child list <folder>            prints the crash list's lines of other sessions
//   diagnostics_child crash <folder>           opens a crash log, prints its file name and dies
//                                              on an access violation
//   diagnostics_child normal <folder>          the same session, ended normally
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "log/diagnostics/crash_list_sync.h"
#include "log/diagnostics/exception_capture.h"
#include "log/diagnostics/log_diagnostics.h"
#include "log/persistence/log_persistence.h"
#include "platform/file_lock.h"
#include "platform/process_info.h"
#include "tests/log_diagnostics/stub_crash_storage.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>

namespace zel {
namespace {

std::shared_ptr<TLogRoot> root_in(const QString& folder) {
    auto root = TLogRoot::Create();
    root->set_location(KF_ABSOLUTE);
    root->set_path(folder);
    return root;
}

// How often `line` is in the crash-list file, read under the crash list's lock.
qsizetype count_in_file(const TLogRoot& root, const QString& line) {
    platform::file_lock lock(
        QFile::encodeName(crash_list_lock_path(root.fq_filename())).toStdString());
    if (!lock.lock())
        return -1;
    QFile file(root.fq_filename());
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n")).count(line);
}

int churn(const QString& folder, int count) {
    const std::shared_ptr<TLogRoot> root = root_in(folder);
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const QString log_file = QStringLiteral("%1/churn_%2_%3.log")
                                     .arg(folder)
                                     .arg(platform::current_process_id())
                                     .arg(i);
        QFile(log_file).open(QIODevice::WriteOnly);
        const ILogStoragePtr storage = std::make_shared<TStubCrashStorage>(log_file);
        const QString line = crash_line(*storage);
        root->register_crash(storage);
        if (count_in_file(*root, line) != 1) {
            std::fprintf(stderr, "line %d not listed exactly once after registering\n", i);
            ++failures;
        }
        root->unregister_crash(storage);
        if (count_in_file(*root, line) != 0 || QFile::exists(log_file)) {
            std::fprintf(stderr, "line %d or its log left after unregistering\n", i);
            ++failures;
        }
    }
    root->clear_all();
    return failures == 0 ? 0 : 1;
}

// A session with a crash log in `folder`, as a program with crash logs and exception capture
// switched on has it.
std::shared_ptr<TLogRoot> crash_log_session(const QString& folder) {
    const std::shared_ptr<TLogRoot> root = root_in(folder);
    const ILogStoragePtr storage = root->new_storage();
    storage->preset_crashlog(QStringLiteral("crash_log"));
    root->register_storage(storage);
    register_exception_root(root);
    root->add(LK_INFO, QStringLiteral("session of process %1").arg(platform::current_process_id()));
    std::printf("%s\n", storage->fq_filename().toUtf8().constData());
    std::fflush(stdout);
    return root;
}

int crash(const QString& folder) {
    const std::shared_ptr<TLogRoot> root = crash_log_session(folder);
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
    return 0;
}

int normal(const QString& folder) {
    const std::shared_ptr<TLogRoot> root = crash_log_session(folder);
    root->add(LK_INFO, QStringLiteral("ending normally"));
    unregister_exception_root(root);
    root->stop(); // the crash log's last write unregisters it and deletes it
    root->clear_all();
    return 0;
}

int list(const QString& folder) {
    const std::shared_ptr<TLogRoot> root = root_in(folder);
    QStringList lines;
    root->build_crash_list(lines);
    for (const QString& line : lines)
        std::printf("%s\n", line.toUtf8().constData());
    root->clear_all();
    return 0;
}

} // namespace
} // namespace zel

int main(int argc, char** argv) {
    const zel::TLogUnit unit;
    zel::install_log_persistence();
    zel::install_log_diagnostics();
    if (argc == 4 && std::strcmp(argv[1], "churn") == 0)
        return zel::churn(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    const struct {
        const char* mode;
        int (*run)(const QString& folder);
    } modes[] = {{"list", &zel::list}, {"crash", &zel::crash}, {"normal", &zel::normal}};
    for (const auto& mode : modes) {
        if (argc == 3 && std::strcmp(argv[1], mode.mode) == 0)
            return mode.run(QString::fromLocal8Bit(argv[2]));
    }
    std::fprintf(stderr, "usage: diagnostics_child churn <folder> <count> | list|crash|normal "
                         "<folder>\n");
    return 2;
}
