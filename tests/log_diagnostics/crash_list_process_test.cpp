#include "log/core/log_root.h"
#include "tests/log_core/qt_print.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace zel {
namespace {

// Runs the helper program and waits for it, at most a minute.
struct child_result {
    bool finished = false;
    int exit_code = -1;
    bool crashed = false;
    QString out;
    QString err;
};

child_result wait_for(QProcess& process) {
    child_result result;
    result.finished = process.waitForFinished(60000);
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exit_code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void start_child(QProcess& process, const QStringList& arguments) {
    process.setProgram(QStringLiteral(DIAGNOSTICS_CHILD));
    process.setArguments(arguments);
    process.start();
}

// Each process has a runtime folder of its own: the list's lock is beside the list, so they
// still take the same one.
TEST(CrashListProcesses, FourProcessesRegisteringAtOnceLoseAndDuplicateNothing) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    constexpr int processes = 4;
    constexpr int crash_logs = 200;
    QElapsedTimer timer;
    timer.start();
    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < processes; ++i) {
        const QString own_runtime = runtime.filePath(QString::number(i));
        ASSERT_TRUE(QDir().mkpath(own_runtime));
        QFile::setPermissions(own_runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", own_runtime);
        children.push_back(std::make_unique<QProcess>());
        children.back()->setProcessEnvironment(environment);
        start_child(*children.back(), {"churn", folder.path(), QString::number(crash_logs)});
    }
    for (auto& child : children) {
        const child_result result = wait_for(*child);
        EXPECT_TRUE(result.finished);
        EXPECT_FALSE(result.crashed);
        EXPECT_EQ(result.exit_code, 0) << result.err.toStdString();
    }
    std::printf("%d processes x %d crash logs: %lld ms\n", processes, crash_logs,
                static_cast<long long>(timer.elapsed()));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{}); // no list, no log left
}

child_result run_child(const QStringList& arguments) {
    QProcess process;
    start_child(process, arguments);
    return wait_for(process);
}

QStringList file_lines(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
}

TEST(CrashListProcesses, CrashedSessionLeavesItsLogAndLineForTheNextProcess) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const child_result crashed = run_child({"crash", folder.path()});
    ASSERT_TRUE(crashed.finished);
    EXPECT_TRUE(crashed.crashed) << crashed.err.toStdString();
    const QString log_file = crashed.out.trimmed();

    // The log is complete on disk, its newest entry the exception that ended the session.
    const QStringList log = file_lines(log_file);
    ASSERT_FALSE(log.isEmpty()) << log_file.toStdString();
    EXPECT_EQ(log[0], ":crash_log='" + log_file + "'");
    EXPECT_TRUE(log.contains(":status=started"));
    const qsizetype first_entry = log.indexOf(QString()) + 1;
    ASSERT_GT(first_entry, 0);
    EXPECT_TRUE(log[first_entry].contains("Exception   ")) << log[first_entry].toStdString();
    EXPECT_TRUE(log[first_entry].contains("Access violation at address "))
        << log[first_entry].toStdString();
    EXPECT_TRUE(log.join('\n').contains("session of process "));

    // Its line stays in the crash list, and the next process reports it.
    const QString list_file = folder.filePath("crash_list.crashlist");
    const QStringList lines = file_lines(list_file);
    ASSERT_EQ(lines.size(), 2); // the line and the empty rest after the last CR LF
    EXPECT_TRUE(lines[0].startsWith("diagnostics_child:"));
    EXPECT_TRUE(lines[0].endsWith("=" + log_file));
    const child_result listed = run_child({"list", folder.path()});
    EXPECT_EQ(listed.exit_code, 0);
    EXPECT_EQ(listed.out, lines[0] + "\n");

    // The log viewer's reader takes the crash list and shows the log behind it.
    QProcess zellog;
    zellog.start(QStringLiteral(ZELLOG_PROGRAM), {"show", list_file});
    ASSERT_TRUE(zellog.waitForFinished(60000));
    const QString shown = QString::fromUtf8(zellog.readAllStandardOutput());
    EXPECT_EQ(zellog.exitCode(), 0) << zellog.readAllStandardError().toStdString();
    EXPECT_TRUE(shown.contains("Access violation at address")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("session of process")) << shown.toStdString();
}

TEST(CrashListProcesses, TwoSessionsEndingNormallyLeaveNoCrashList) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QProcess first;
    QProcess second;
    start_child(first, {"normal", folder.path()});
    start_child(second, {"normal", folder.path()});
    for (QProcess* child : {&first, &second}) {
        const child_result result = wait_for(*child);
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.exit_code, 0) << result.err.toStdString();
        EXPECT_FALSE(QFile::exists(result.out.trimmed())); // the crash log went with its session
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{});
}

} // namespace
} // namespace zel
