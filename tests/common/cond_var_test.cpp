#include "Common/cond_var.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace zel {
namespace {

constexpr auto bound = std::chrono::seconds(10);

struct Kind {
    std::string name;
    std::function<std::shared_ptr<ICondVar>()> make;
};

class CondVar : public testing::TestWithParam<Kind> {
protected:
    std::shared_ptr<ICondVar> cond = GetParam().make();
    TCriticalSection cs;

    bool free_for_other_threads() {
        return std::async(std::launch::async,
                          [this] {
                              if (!cs.try_lock())
                                  return false;
                              cs.unlock();
                              return true;
                          })
            .get();
    }
};

TEST_P(CondVar, WakeWithoutSleepersReturnsAtOnce) {
    cond->wake();
    cond->wake_all();
    std::scoped_lock guard(cs); // a waker may hold the sleepers' lock
    cond->wake();
    cond->wake_all();
}

TEST_P(CondVar, SleepTimesOutHoldingTheLockAgain) {
    std::scoped_lock guard(cs);
    EXPECT_FALSE(cond->sleep(cs, 0));
    EXPECT_FALSE(free_for_other_threads());
    EXPECT_FALSE(cond->sleep(cs, 20));
    EXPECT_FALSE(free_for_other_threads());
}

TEST_P(CondVar, WakeAllReleasesEverySleeper) {
    constexpr int sleepers = 3;
    std::latch asleep(sleepers);
    std::vector<std::future<bool>> woken;
    for (int i = 0; i < sleepers; ++i)
        woken.push_back(std::async(std::launch::async, [&] {
            std::scoped_lock guard(cs);
            asleep.count_down(); // still holding cs: the waker gets it only once we sleep
            const bool result = cond->sleep(cs, infinite_timeout);
            EXPECT_FALSE(free_for_other_threads()); // back with the lock
            return result;
        }));
    asleep.wait();
    {
        // The last sleeper releases cs only inside sleep, after the others went to sleep.
        std::scoped_lock guard(cs);
        cond->wake_all();
    }
    for (auto& result : woken) {
        ASSERT_EQ(result.wait_for(bound), std::future_status::ready);
        EXPECT_TRUE(result.get());
    }
}

TEST_P(CondVar, WakeReleasesASleeper) {
    std::promise<void> asleep_promise;
    auto woken = std::async(std::launch::async, [&] {
        std::scoped_lock guard(cs);
        asleep_promise.set_value();
        return cond->sleep(cs, infinite_timeout);
    });
    asleep_promise.get_future().wait();
    {
        std::scoped_lock guard(cs);
        cond->wake();
    }
    ASSERT_EQ(woken.wait_for(bound), std::future_status::ready);
    EXPECT_TRUE(woken.get());
}

// Two threads hand a counter back and forth, each sleeping until it is its turn.
TEST_P(CondVar, HandsATurnBackAndForth) {
    constexpr int rounds = 2000;
    int turn = 0;
    const auto player = [&](int parity) {
        for (int round = parity; round < rounds; round += 2) {
            std::scoped_lock guard(cs);
            while (turn % 2 != parity)
                cond->sleep(cs, infinite_timeout);
            ++turn;
            cond->wake_all();
        }
    };
    std::thread other(player, 1);
    player(0);
    other.join();
    EXPECT_EQ(turn, rounds);
}

TEST(CondVarFactory, CreatesANativeConditionVariable) {
    std::shared_ptr<ICondVar> cond;
    ASSERT_TRUE(create_cond_var(cond));
    EXPECT_NE(std::dynamic_pointer_cast<TPostWin6CondVar>(cond), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Both, CondVar,
    testing::Values(Kind{"native", [] { return std::make_shared<TPostWin6CondVar>(); }},
                    Kind{"emulated", [] { return std::make_shared<TPreWin6CondVar>(); }}),
    [](const testing::TestParamInfo<Kind>& param_info) { return param_info.param.name; });

} // namespace
} // namespace zel
