#include "log/persistence/log_storage.h"
#include "tests/log_persistence/persistence_fixture.h"
#include "tests/log_persistence/storage_oracle.h"

#include <latch>
#include <thread>

namespace zel {
namespace {

using namespace testing;

// Threads log into the root and groups of their own while another changes the storage's layout
// and asks for writes; the group's stop then leaves exactly the whole tree in the file.
TEST_F(PersistenceTest, ThreadsLoggingAtOnceLeaveTheWholeTreeInTheFile) {
    constexpr int threads = 4;
    constexpr int events_per_thread = 150;
    const auto storage = std::make_shared<TLogStorage>();
    storage->set_fq_filename(path("log.txt"));
    storage->set_flush_on(Tlog_kinds::all());
    root->register_storage(storage);

    std::latch start(threads + 1);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            ILogGroupPtr own;
            root->find_group(QStringLiteral("thread %1").arg(t), own);
            own->set_text(QStringLiteral("thread %1").arg(t));
            start.arrive_and_wait();
            for (int i = 0; i < events_per_thread; ++i) {
                const ILogGroupPtr& into = i % 3 == 0 ? ILogGroupPtr(root) : own;
                into->add(i % 5 == 0 ? LK_ERROR : LK_INFO,
                          i % 10 == 9 ? QStringLiteral("again") // folds into the previous
                                      : QStringLiteral("thread %1 event %2").arg(t).arg(i));
            }
        });
    workers.emplace_back([&] {
        start.arrive_and_wait();
        for (int i = 0; i < 20; ++i) {
            storage->set_most_recent_first(i % 2 == 0);
            storage->write_event(nullptr);
        }
        storage->set_most_recent_first(true);
    });
    for (std::thread& worker : workers)
        worker.join();

    root->stop();
    const QByteArray file = file_bytes(path("log.txt"));
    EXPECT_EQ(file, expected_file(*storage, *root, true));
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < events_per_thread; i += 9) {
            if (i % 10 != 9) {
                EXPECT_TRUE(
                    file.contains(QStringLiteral("thread %1 event %2\r\n").arg(t).arg(i).toUtf8()))
                    << t << ' ' << i;
            }
        }
}

} // namespace
} // namespace zel
