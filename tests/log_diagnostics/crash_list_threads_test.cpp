#include "log/core/log_root.h"
#include "log/diagnostics/log_diagnostics.h"
#include "tests/log_core/qt_print.h"
#include "tests/log_diagnostics/stub_crash_storage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace zel {
namespace {

TEST(CrashListThreads, ThreadsOfOneRootRegisteringAtOnceLeaveNothingBehind) {
    install_log_diagnostics();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::shared_ptr<TLogRoot> root = TLogRoot::Create();
    root->set_location(KF_ABSOLUTE);
    root->set_path(folder.path());
    constexpr int threads = 4;
    constexpr int crash_logs = 50;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < crash_logs; ++i) {
                const QString name = folder.filePath(QStringLiteral("t%1_%2.log").arg(t).arg(i));
                QFile(name).open(QIODevice::WriteOnly);
                const ILogStoragePtr storage = std::make_shared<TStubCrashStorage>(name);
                root->register_crash(storage);
                root->unregister_crash(storage);
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(root->crash_list().count(), 0);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{});
    root->clear_all();
}

} // namespace
} // namespace zel
