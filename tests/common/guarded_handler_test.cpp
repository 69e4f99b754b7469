#include "Common/guarded_handler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace zel {
namespace {

using THandler = std::function<void(int)>;

// A detach that returns while the old handler still runs would let its owner go too early.
TEST(GuardedHandler, ReplacingWaitsForACallOnAnotherThread) {
    TGuardedHandler<THandler> handler;
    std::promise<void> entered;
    std::promise<void> release;
    std::atomic<bool> finished{false};
    handler.set([&](int) {
        entered.set_value();
        release.get_future().wait();
        finished = true;
    });
    std::thread caller([&] { handler.call(1); });
    entered.get_future().wait();
    std::thread detacher([&] {
        handler.set(nullptr);
        EXPECT_TRUE(finished.load());
    });
    release.set_value();
    detacher.join();
    caller.join();

    int calls = 0;
    handler.call(2); // detached: nothing runs
    EXPECT_EQ(calls, 0);
}

// On one thread a call of the new handler nested in a call of the old one ends first; the
// replacement must go on waiting for the outer call, which still runs the old handler.
TEST(GuardedHandler, ReplacingWaitsForAnOuterCallAfterANestedCallOfTheNewHandlerEnds) {
    TGuardedHandler<THandler> handler;
    std::promise<void> entered;
    std::atomic<bool> new_ran{false};
    std::atomic<bool> replaced{false};
    std::atomic<bool> old_finished{false};
    handler.set([&](int outer) {
        if (outer == 0)
            return;
        entered.set_value();
        while (!new_ran) // nested calls run this handler until the replacement is in place
            handler.call(0);
        // A replacement that wrongly took the nested call's end for this one's returns now.
        const auto bound = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        while (!replaced && std::chrono::steady_clock::now() < bound)
            std::this_thread::yield();
        old_finished = true;
    });
    std::thread caller([&] { handler.call(1); });
    entered.get_future().wait();
    handler.set([&](int) { new_ran = true; });
    replaced = true;
    EXPECT_TRUE(old_finished.load());
    caller.join();
}

TEST(GuardedHandler, DetachingFromInsideTheHandlerDoesNotWaitForItself) {
    TGuardedHandler<THandler> handler;
    int calls = 0;
    handler.set([&](int) {
        ++calls;
        handler.set(nullptr);
    });
    handler.call(1);
    handler.call(2);
    EXPECT_EQ(calls, 1);
}

TEST(GuardedHandler, TwoThreadsDetachingFromInsideTheirCallsDoNotWaitForEachOther) {
    TGuardedHandler<THandler> handler;
    std::atomic<int> inside{0};
    handler.set([&](int) {
        ++inside;
        while (inside.load() < 2) // both calls are in progress before either detaches
            std::this_thread::yield();
        handler.set(nullptr);
    });
    std::thread first([&] { handler.call(1); });
    std::thread second([&] { handler.call(2); });
    first.join();
    second.join();
    EXPECT_FALSE(static_cast<bool>(handler.get()));
}

} // namespace
} // namespace zel
