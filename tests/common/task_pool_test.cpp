#include "Common/task_pool.h"
#include "platform/cpu_affinity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace zel {
namespace {

constexpr auto bound = std::chrono::seconds(10);

std::size_t threads_of_this_process() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// Closures wait on it until the test opens it (or the bound passes, so a failing test ends).
class Gate {
public:
    void open() { Fopen.set_value(); }
    void pass() const { Fopened.wait_for(bound); }

private:
    std::promise<void> Fopen;
    std::shared_future<void> Fopened = Fopen.get_future().share();
};

// Counts arrivals; wait() returns true once `expected` have arrived.
class Arrivals {
public:
    explicit Arrivals(int expected)
        : Fexpected(expected) {}

    void arrive() {
        std::scoped_lock guard(Fmutex);
        ++Farrived;
        Fchanged.notify_all();
    }

    bool wait() {
        std::unique_lock guard(Fmutex);
        return Fchanged.wait_for(guard, bound, [this] { return Farrived >= Fexpected; });
    }

private:
    std::mutex Fmutex;
    std::condition_variable Fchanged;
    int Farrived = 0;
    const int Fexpected;
};

// A call on a thread of its own. returned() waits, within the bound, for the call to return; a
// call still running then (a hang) is left behind with what it holds, so that the test fails
// instead of hanging too. Calls therefore capture shared state only.
class BackgroundCall {
public:
    explicit BackgroundCall(std::function<void()> work)
        : Fthread([work = std::move(work), done = Fdone] {
            work();
            done->set_value();
        }) {}
    BackgroundCall(const BackgroundCall&) = delete;
    BackgroundCall& operator=(const BackgroundCall&) = delete;
    ~BackgroundCall() {
        if (returned())
            Fthread.join();
        else
            Fthread.detach();
    }

    bool returned(std::chrono::seconds within = bound) const {
        return Freturned.wait_for(within) == std::future_status::ready;
    }

private:
    std::shared_ptr<std::promise<void>> Fdone = std::make_shared<std::promise<void>>();
    std::shared_future<void> Freturned = Fdone->get_future().share();
    std::thread Fthread;
};

// Adds `count` tasks that do nothing; each arrives at `released` when the pool lets it go, run or
// dropped.
void add_watched_tasks(TTaskPool& pool, int count, const std::shared_ptr<Arrivals>& released) {
    for (int i = 0; i < count; ++i) {
        const std::shared_ptr<void> watch(nullptr, [released](void*) { released->arrive(); });
        pool.AddTask(std::make_shared<TBaseTask>(
            0, [watch](ITask&, std::int32_t, std::int32_t) {}, 1));
    }
}

TEST(ProcessorList, MasksInIncreasingBitOrder) {
    const TProcessorList some = processor_list(0b1011U);
    EXPECT_EQ(some.count, 3);
    EXPECT_EQ(some.masks[0], 1U);
    EXPECT_EQ(some.masks[1], 2U);
    EXPECT_EQ(some.masks[2], 8U);
    EXPECT_EQ(some.masks[3], ~0U);

    const TProcessorList unreadable = processor_list(std::nullopt);
    EXPECT_EQ(unreadable.count, 1);
    EXPECT_EQ(unreadable.masks[0], ~0U);

    const TProcessorList all = processor_list(~0U);
    EXPECT_EQ(all.count, 32);
    EXPECT_EQ(all.masks[31], 1U << 31);
}

TEST(ProcessorList, DefaultThreadCountIsCappedAtSixteen) {
    const std::vector<std::pair<std::uint8_t, std::int32_t>> cases = {
        {1, 1}, {4, 4}, {16, 16}, {24, 16}, {32, 16}};
    for (const auto& [cpus, threads] : cases)
        EXPECT_EQ(thread_count_for(cpus, max_parallel_threads), threads) << int{cpus};
    EXPECT_EQ(thread_count_for(24, 0), 24); // no cap

    EXPECT_EQ(default_thread_count(), thread_count_for(process_cpu_count, max_parallel_threads));
    EXPECT_GE(process_cpu_count, 1);
    EXPECT_GE(system_cpu_count, process_cpu_count);
}

TEST(TaskPool, TheGlobalPoolIsIdleWithTheDefaultCount) {
    const auto pool = std::dynamic_pointer_cast<TTaskPool>(task_pool);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->Getnb_thread(), default_thread_count());
    EXPECT_FALSE(pool->initialized());
}

TEST(TaskPool, ThreadsStartWithTheFirstTaskAndStopOnClose) {
    std::thread([] {}).join(); // a sanitizer runtime starts its helper thread with the first one
    const std::size_t before = threads_of_this_process();
    TTaskPool pool(3);
    pool.ClosePool(); // never started: nothing to do
    EXPECT_FALSE(pool.initialized());
    EXPECT_EQ(threads_of_this_process(), before);

    bool ran = false;
    const auto task =
        pool.ScheduleTask([&ran](ITask&, std::int32_t, std::int32_t) { ran = true; }, false);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(task->completed());
    EXPECT_TRUE(pool.initialized());
    EXPECT_EQ(threads_of_this_process(), before + 4); // three workers and the dispatcher

    pool.Setnb_thread(5); // no effect once running
    EXPECT_EQ(pool.Getnb_thread(), 3);

    pool.ClosePool();
    EXPECT_FALSE(pool.initialized());
    EXPECT_EQ(threads_of_this_process(), before);

    pool.Setnb_thread(2); // closed again: takes effect for the next start
    EXPECT_EQ(pool.Getnb_thread(), 2);
    EXPECT_EQ(pool.ScheduleTask(nullptr, false)->waitfor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(threads_of_this_process(), before + 3);
}

TEST(TaskPool, EveryWorkerRunsAtOnceOnItsOwnProcessor) {
    constexpr int workers = 3;
    TTaskPool pool(workers);
    Arrivals all_running(workers);
    std::mutex masks_lock;
    std::multiset<std::uint32_t> masks;
    TTaskArray tasks;
    for (int i = 0; i < workers; ++i)
        tasks.push_back(pool.ScheduleTask(
            [&](ITask&, std::int32_t, std::int32_t) {
                {
                    std::scoped_lock guard(masks_lock);
                    masks.insert(platform::current_thread_mask());
                }
                all_running.arrive();
                all_running.wait(); // holds its worker until every worker has a task
            },
            true));
    ASSERT_TRUE(all_running.wait());
    for (const auto& task : tasks)
        EXPECT_EQ(task->waitfor(10000), TWaitResult::wrSignaled);

    // Worker i is pinned to processor i when the process may use it.
    platform::TProcessorMasks process;
    ASSERT_TRUE(platform::read_processor_masks(process));
    std::multiset<std::uint32_t> expected;
    for (unsigned i = 0; i < workers; ++i)
        expected.insert((process.process & (1U << i)) != 0 ? 1U << i : process.process);
    EXPECT_EQ(masks, expected);
}

TEST(TaskPool, ASlicedTaskOfFourSlices) {
    TTaskPool pool(2);
    Gate gate;
    std::mutex calls_lock;
    std::set<std::pair<std::int32_t, std::int32_t>> calls;
    const auto task = pool.ScheduleSlicedTask(
        [&](ITask&, std::int32_t id, std::int32_t count) {
            gate.pass();
            std::scoped_lock guard(calls_lock);
            calls.emplace(id, count);
        },
        4, true);
    EXPECT_EQ(task->waitfor(0), TWaitResult::wrTimeout);
    gate.open();
    ASSERT_EQ(task->waitfor(10000), TWaitResult::wrSignaled);
    EXPECT_EQ(calls,
              (std::set<std::pair<std::int32_t, std::int32_t>>{{0, 4}, {1, 4}, {2, 4}, {3, 4}}));

    // No slice count: one slice per worker.
    EXPECT_EQ(pool.ScheduleSlicedTask(nullptr, 0, false)->getcount(), 2);
}

TEST(TaskPool, ExecSlicedReusesATaskWithTheSameSliceCount) {
    TTaskPool pool(2);
    std::shared_ptr<ITask> task;
    std::atomic<int> first{0};
    ASSERT_TRUE(pool.exec_sliced(
        task, [&first](ITask&, std::int32_t, std::int32_t) { ++first; }, 4, false));
    EXPECT_EQ(first.load(), 4);
    EXPECT_TRUE(task->completed());

    const auto reused = task;
    std::atomic<int> second{0};
    EXPECT_TRUE(pool.exec_sliced(
        task, [&second](ITask&, std::int32_t, std::int32_t) { ++second; }, 4, false));
    EXPECT_EQ(task, reused);
    EXPECT_EQ(second.load(), 4);
    EXPECT_EQ(first.load(), 4);

    EXPECT_TRUE(pool.exec_sliced(task, nullptr, 3, false));
    EXPECT_NE(task, reused);
    EXPECT_EQ(task->getcount(), 3);

    // A run still going: reset reports it, and the slices then complete the task.
    Gate gate;
    task = reused;
    EXPECT_TRUE(pool.exec_sliced(
        task, [&gate](ITask&, std::int32_t, std::int32_t) { gate.pass(); }, 4, true));
    EXPECT_FALSE(task->reset());
    gate.open();
    EXPECT_EQ(task->waitfor(10000), TWaitResult::wrSignaled);
}

TEST(TaskPool, ClosePoolWaitsForRunningTasksAndDropsQueuedOnes) {
    TTaskPool pool(1);
    Gate gate;
    std::promise<void> started;
    const auto running = pool.ScheduleTask(
        [&](ITask&, std::int32_t, std::int32_t) {
            started.set_value();
            gate.pass();
        },
        true);
    started.get_future().wait();

    // The worker is busy, so these wait: the dispatcher holds at most one of them, the others
    // stay queued. Each closure's watch goes with its task when the task is released.
    constexpr int queued = 4;
    auto ran = std::make_shared<std::atomic<int>>(0);
    Arrivals released(queued - 1);
    for (int i = 0; i < queued; ++i) {
        const std::shared_ptr<void> watch(nullptr, [&released](void*) { released.arrive(); });
        pool.AddTask(std::make_shared<TBaseTask>(
            0, [ran, watch](ITask&, std::int32_t, std::int32_t) { ++*ran; }, 1));
    }

    auto closing = std::async(std::launch::async, [&pool] { pool.ClosePool(); });
    ASSERT_TRUE(released.wait());
    EXPECT_FALSE(running->completed());
    gate.open();
    ASSERT_EQ(closing.wait_for(bound), std::future_status::ready);
    EXPECT_TRUE(running->completed());
    EXPECT_LE(ran->load(), 1); // only the one in the dispatcher's hands may have run
    EXPECT_FALSE(pool.initialized());
}

TEST(TaskPool, AThrowingTaskLeavesTheWorkerRunning) {
    TTaskPool pool(1);
    const auto failing = pool.ScheduleTask(
        [](ITask&, std::int32_t, std::int32_t) { throw std::runtime_error("task failed"); }, false);
    EXPECT_TRUE(failing->completed());
    bool ran = false;
    pool.ScheduleTask([&ran](ITask&, std::int32_t, std::int32_t) { ran = true; }, false);
    EXPECT_TRUE(ran);
}

// A synchronous run whose tasks a close drops returns, its task not completed.
TEST(TaskPoolClose, ASynchronousRunReturnsWhenACloseDropsItsSlices) {
    const auto pool = std::make_shared<TTaskPool>(1);
    const auto slice_started = std::make_shared<Arrivals>(1);
    const auto released = std::make_shared<Arrivals>(1);
    const auto ran = std::make_shared<std::array<std::atomic<bool>, 3>>();
    const auto sliced = std::make_shared<std::shared_ptr<ITask>>();
    const BackgroundCall run([=] {
        *sliced = pool->ScheduleSlicedTask(
            [=](ITask&, std::int32_t id, std::int32_t) {
                if (id == 0) { // holds the one worker until the close has begun dropping
                    slice_started->arrive();
                    released->wait();
                }
                (*ran)[static_cast<std::size_t>(id)] = true;
            },
            3, false);
    });
    ASSERT_TRUE(slice_started->wait());
    // Queued behind the last slice: released only by the close, once the slice is dropped.
    add_watched_tasks(*pool, 1, released);
    const BackgroundCall close([pool] { pool->ClosePool(); });

    ASSERT_TRUE(run.returned());
    EXPECT_FALSE((*ran)[2]);
    EXPECT_FALSE((*sliced)->completed());
    EXPECT_TRUE(close.returned());
}

// A synchronous sliced run hands its slices to the workers itself: the close waits for it to
// finish handing over before it frees them, and the slices handed over run.
TEST(TaskPoolClose, ASynchronousSlicedRunKeepsTheWorkersUntilItHasHandedOver) {
    const auto pool = std::make_shared<TTaskPool>(1);
    const auto slice_started = std::make_shared<Arrivals>(1);
    const auto released = std::make_shared<Arrivals>(1);
    const auto ran = std::make_shared<std::atomic<int>>(0);
    const auto result = std::make_shared<std::atomic<bool>>(false);
    const BackgroundCall run([=] {
        std::shared_ptr<ITask> task;
        *result = pool->exec_sliced(
            task,
            [=](ITask&, std::int32_t id, std::int32_t) {
                if (id == 0) {
                    slice_started->arrive();
                    released->wait();
                }
                ++*ran;
            },
            2, false);
    });
    // Slice 1 waits in the caller for the busy worker. Of two tasks added now, the dispatcher
    // takes one and the close drops the other: the sign that the close has begun.
    ASSERT_TRUE(slice_started->wait());
    add_watched_tasks(*pool, 2, released);
    const BackgroundCall close([pool] { pool->ClosePool(); });

    ASSERT_TRUE(run.returned());
    EXPECT_TRUE(result->load());
    EXPECT_EQ(ran->load(), 2);
    EXPECT_TRUE(close.returned());
}

// Synchronous calls of every kind while another thread closes the pool again and again: each
// returns, and a task reports completed exactly when its closure ran.
TEST(TaskPoolClose, SynchronousCallsRacingRepeatedClosesAllReturn) {
    constexpr int calls = 100;
    constexpr auto generous = std::chrono::seconds(60); // many thread starts under a sanitizer
    const auto pool = std::make_shared<TTaskPool>(2);
    const auto stop = std::make_shared<std::atomic<bool>>(false);
    const BackgroundCall closer([pool, stop] {
        while (!stop->load()) {
            pool->ClosePool();
            std::this_thread::yield();
        }
    });

    const auto ran = std::make_shared<std::atomic<int>>(0);
    const auto completed = std::make_shared<std::atomic<int>>(0);
    const TTaskProcRec count_run = [ran](ITask&, std::int32_t, std::int32_t) { ++*ran; };
    const BackgroundCall tasks([=] {
        for (int i = 0; i < calls; ++i)
            if (pool->ScheduleTask(count_run, false)->completed())
                ++*completed;
    });
    const BackgroundCall sliced([=] {
        for (int i = 0; i < calls; ++i)
            for (const auto& slice : pool->ScheduleSlicedTask(count_run, 3, false)->tasks())
                if (slice->completed())
                    ++*completed;
    });
    const BackgroundCall direct([=] {
        for (int i = 0; i < calls; ++i) {
            std::shared_ptr<ITask> task;
            if (pool->exec_sliced(task, count_run, 2, false))
                *completed += 2; // a new task runs whole, or not at all when refused
        }
    });

    EXPECT_TRUE(tasks.returned(generous));
    EXPECT_TRUE(sliced.returned(generous));
    EXPECT_TRUE(direct.returned(generous));
    stop->store(true);
    EXPECT_TRUE(closer.returned());
    EXPECT_EQ(ran->load(), completed->load());
}

} // namespace
} // namespace zel
