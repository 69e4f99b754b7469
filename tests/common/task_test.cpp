#include "Common/task.h"

#include <gtest/gtest.h>

#include <array>
#include <future>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace zel {
namespace {

constexpr auto bound = std::chrono::seconds(10);

using Calls = std::vector<std::pair<std::int32_t, std::int32_t>>;

TTaskProcRec recording(Calls& calls) {
    return [&calls](ITask&, std::int32_t id, std::int32_t count) { calls.emplace_back(id, count); };
}

TEST(BaseTask, ExecuteRunsTheClosureThenCompletesThenNotifies) {
    Calls calls;
    const ITask* seen = nullptr;
    auto task = std::make_shared<TBaseTask>(
        3,
        [&](ITask& running, std::int32_t id, std::int32_t count) {
            seen = &running;
            EXPECT_FALSE(running.completed());
            calls.emplace_back(id, count);
        },
        7);
    bool completed_when_notified = false;
    task->SetOnComplete([&](ITask& sender) { completed_when_notified = sender.completed(); });

    EXPECT_EQ(task->waitfor(0), TWaitResult::wrTimeout);
    task->execute();
    EXPECT_EQ(calls, (Calls{{3, 7}}));
    EXPECT_EQ(seen, task.get());
    EXPECT_TRUE(completed_when_notified);
    EXPECT_EQ(task->waitfor(infinite_timeout), TWaitResult::wrSignaled);
    EXPECT_EQ(task->tasks(), TTaskArray{task});
    EXPECT_EQ(task->getid(), 3);
    EXPECT_EQ(task->getcount(), 7);

    EXPECT_TRUE(task->reset());
    EXPECT_FALSE(task->completed());
}

TEST(BaseTask, AThrowingClosureStillCompletesTheTask) {
    bool notified = false;
    auto task = std::make_shared<TBaseTask>(
        0, [](ITask&, std::int32_t, std::int32_t) { throw std::runtime_error("closure failed"); },
        1);
    task->SetOnComplete([&](ITask&) { notified = true; });
    EXPECT_THROW(task->execute(), std::runtime_error);
    EXPECT_TRUE(task->completed());
    EXPECT_TRUE(notified);
}

TEST(BaseTask, NameAndPrivateBlock) {
    auto task = std::make_shared<TBaseTask>(0, nullptr, 1);
    EXPECT_EQ(task->getname(), "");
    task->setname("checksum");
    EXPECT_EQ(task->getname(), "checksum");

    std::array<std::byte, 4> out{};
    EXPECT_FALSE(task->get_private(out)); // nothing stored yet
    const std::array<std::byte, 4> block{std::byte{1}, std::byte{2}, std::byte{3}, std::byte{4}};
    task->set_private(block);
    std::array<std::byte, 3> too_small{};
    EXPECT_FALSE(task->get_private(too_small));
    ASSERT_TRUE(task->get_private(out));
    EXPECT_EQ(out, block);
    task->set_private({}); // no size: the block is discarded
    EXPECT_FALSE(task->get_private(out));

    task->execute(); // an empty closure just completes
    EXPECT_TRUE(task->completed());
}

TEST(SlicedTask, ExecuteRunsEverySliceInOrder) {
    Calls calls;
    auto task = std::make_shared<TSlicedTask>(4, recording(calls));
    EXPECT_EQ(task->getcount(), 4);
    EXPECT_EQ(task->getid(), 0);
    EXPECT_EQ(task->getname(), "");
    ASSERT_EQ(task->tasks().size(), 4U);
    EXPECT_EQ(task->waitfor(0), TWaitResult::wrTimeout);
    EXPECT_FALSE(task->reset()); // the run had not finished

    task->execute();
    EXPECT_EQ(calls, (Calls{{0, 4}, {1, 4}, {2, 4}, {3, 4}}));
    EXPECT_TRUE(task->completed());
    for (const auto& slice : task->tasks())
        EXPECT_TRUE(slice->completed());

    EXPECT_TRUE(task->reset());
    EXPECT_FALSE(task->completed());
    for (const auto& slice : task->tasks())
        EXPECT_FALSE(slice->completed());

    Calls replaced;
    task->SetProc(recording(replaced));
    task->execute();
    EXPECT_EQ(replaced.size(), 4U);
    EXPECT_EQ(calls.size(), 4U);
}

TEST(SlicedTask, OneThrowingSliceDoesNotStopTheOthers) {
    Calls calls;
    auto task =
        std::make_shared<TSlicedTask>(3, [&calls](ITask&, std::int32_t id, std::int32_t count) {
            calls.emplace_back(id, count);
            if (id == 0)
                throw std::runtime_error("slice failed");
        });
    EXPECT_THROW(task->execute(), std::runtime_error);
    EXPECT_EQ(calls.size(), 3U);
    EXPECT_TRUE(task->completed());
}

TEST(SlicedTask, EveryWaiterIsReleased) {
    auto task = std::make_shared<TSlicedTask>(2, nullptr);
    std::vector<std::future<TWaitResult>> waiters;
    for (int i = 0; i < 2; ++i)
        waiters.push_back(
            std::async(std::launch::async, [&task] { return task->waitfor(infinite_timeout); }));
    std::thread([&task] { task->execute(); }).join();
    for (auto& waiter : waiters) {
        ASSERT_EQ(waiter.wait_for(bound), std::future_status::ready);
        EXPECT_EQ(waiter.get(), TWaitResult::wrSignaled);
    }
}

TEST(SlicedTask, ASliceMayOutliveItsSlicedTask) {
    auto task = std::make_shared<TSlicedTask>(2, nullptr);
    const TTaskArray slices = task->tasks();
    task.reset();
    for (const auto& slice : slices)
        slice->execute();
    EXPECT_TRUE(slices[1]->completed());
}

} // namespace
} // namespace zel
