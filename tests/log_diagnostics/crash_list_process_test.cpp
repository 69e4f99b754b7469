#include "log/core/log_root.h"
#include "tests/log_core/qt_print.h"

#include <QDir>
#include <QElapsedTimer>
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

TEST(CrashListProcesses, FourProcessesRegisteringAtOnceLoseAndDuplicateNothing) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    constexpr int processes = 4;
    constexpr int crash_logs = 200;
    QElapsedTimer timer;
    timer.start();
    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < processes; ++i) {
        children.push_back(std::make_unique<QProcess>());
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

} // namespace
} // namespace zel
