// A program that the storage tests start as separate processes:
//   storage_child logs <folder> <count>  names <count> logs in <folder> at once (one root each),
//                                        writes "process <pid> storage <i>" into each and
//                                        prints their file names
//   storage_child hold <file>            writes <file> and keeps it open until a line arrives
//                                        on its input
//   storage_child fill <file> <bytes>    under a file size limit of <bytes> (SIGXFSZ ignored,
//                                        as a full disk answers), logs 40 events into <file>,
//                                        copies what the file then holds to <file>.cut, lifts
//                                        the limit, logs one more event and stops
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "log/persistence/log_persistence.h"
#include "platform/process_info.h"

#include <QFile>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace zel {
namespace {

// A storage rewritten on every event, in a root without session header and footer.
ILogStoragePtr storage_of(const std::shared_ptr<TLogRoot>& root, const QString& fixed_name) {
    root->set_header({});
    root->set_footer({});
    const ILogStoragePtr storage = root->new_storage();
    if (!fixed_name.isEmpty())
        storage->set_fq_filename(fixed_name);
    storage->set_flush_on(Tlog_kinds::all());
    root->register_storage(storage);
    return storage;
}

int logs(const QString& folder, int count) {
    std::vector<std::shared_ptr<TLogRoot>> roots;
    std::vector<ILogStoragePtr> storages;
    for (int i = 0; i < count; ++i) {
        roots.push_back(TLogRoot::Create());
        roots.back()->set_location(KF_ABSOLUTE);
        roots.back()->set_path(folder);
        storages.push_back(storage_of(roots.back(), {}));
        storages.back()->fq_filename(); // the stamp: within a millisecond or two for all
    }
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        roots[at]->add(
            LK_INFO,
            QStringLiteral("process %1 storage %2").arg(platform::current_process_id()).arg(i));
        std::printf("%s\n", storages[at]->fq_filename().toUtf8().constData());
    }
    for (const auto& root : roots)
        release_log_tree(*root);
    return 0;
}

int hold(const QString& file) {
    const std::shared_ptr<TLogRoot> root = TLogRoot::Create();
    storage_of(root, file);
    root->add(LK_INFO, QStringLiteral("held by process %1").arg(platform::current_process_id()));
    std::printf("ready\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    release_log_tree(*root);
    return 0;
}

bool limit_file_size(rlim_t bytes) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return false;
    limit.rlim_cur = bytes;
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

int fill(const QString& file, rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    const std::shared_ptr<TLogRoot> root = TLogRoot::Create();
    storage_of(root, file);
    if (!limit_file_size(bytes))
        return 3;
    for (int i = 1; i <= 40; ++i)
        root->add(LK_INFO, QStringLiteral("event %1 of the fill").arg(i));
    if (!limit_file_size(RLIM_INFINITY))
        return 3;
    if (!QFile::copy(file, file + QStringLiteral(".cut")))
        return 4;
    root->add(LK_INFO, QStringLiteral("after the limit"));
    release_log_tree(*root);
    return 0;
}

} // namespace
} // namespace zel

int main(int argc, char** argv) {
    const zel::TLogUnit unit;
    zel::install_log_persistence();
    const QString path = argc >= 3 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (argc == 4 && std::strcmp(argv[1], "logs") == 0)
        return zel::logs(path, std::atoi(argv[3]));
    if (argc == 3 && std::strcmp(argv[1], "hold") == 0)
        return zel::hold(path);
    if (argc == 4 && std::strcmp(argv[1], "fill") == 0)
        return zel::fill(path, std::strtoul(argv[3], nullptr, 10));
    std::fprintf(stderr, "usage: storage_child logs <folder> <count> | hold <file> | fill <file> "
                         "<bytes>\n");
    return 2;
}
