#include "log/core/log_extensions.h"
#include "log/persistence/log_storage.h"
#include "tests/log_persistence/persistence_fixture.h"
#include "tests/log_persistence/storage_oracle.h"

#include <atomic>
#include <chrono>
#include <latch>
#include <mutex>
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

// Spins until `condition` holds, at most ten seconds; for conditions no one signals.
bool spin_until(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

// An event's write is held inside the crash list while another thread stops the group: the
// write must not go on with the state it saw before the stop, so the crash log ends unlisted and
// closed. Which of the two then takes the storage first varies, so the race is run many times.
TEST_F(PersistenceTest, AWriteRacingWithTheStopLeavesTheCrashLogUnlistedAndClosed) {
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        root->clear_all();
        std::mutex calls_lock;
        std::vector<bool> completed; // adding or not, in the order the calls returned
        std::atomic<bool> first_call{true};
        std::atomic<bool> in_first_call{false};
        TLogDiagnosticsHooks hooks;
        hooks.sync = [&](TLogRoot&, const ILogStoragePtr&, bool adding) {
            if (adding && first_call.exchange(false)) {
                in_first_call = true;
                spin_until([&] { return !root->started(); });
            }
            const std::scoped_lock lock(calls_lock);
            completed.push_back(adding);
            return true;
        };
        set_log_diagnostics_hooks(std::move(hooks));
        const auto storage = std::make_shared<TLogStorage>();
        storage->preset_crashlog("crash");
        storage->set_fq_filename(path("crash.log"));
        root->register_storage(storage);

        std::thread writer([&] { root->add(LK_INFO, "racing with the stop"); });
        std::thread stopper([&] {
            spin_until([&] { return in_first_call.load(); });
            root->stop();
        });
        writer.join();
        stopper.join();

        ASSERT_FALSE(completed.empty());
        EXPECT_FALSE(completed.back()) << "listed again after the stop";
        EXPECT_FALSE(held_open(path("crash.log")));
        EXPECT_FALSE(storage->write_event(nullptr));
        set_log_diagnostics_hooks({});
        if (HasFailure())
            break;
    }
}

} // namespace
} // namespace zel
