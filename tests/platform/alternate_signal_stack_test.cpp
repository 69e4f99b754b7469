#include "platform/alternate_signal_stack.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <latch>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zel::platform {
namespace {

stack_t current_alternate_stack() {
    stack_t current{};
    EXPECT_EQ(::sigaltstack(nullptr, &current), 0);
    return current;
}

// Whether any page of [start, start + size) is still mapped.
bool mapped(const void* start, std::size_t size) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<std::uintptr_t>(start) / page * page;
    std::vector<unsigned char> pages((size + page - 1) / page + 1);
    for (std::uintptr_t at = first; at < reinterpret_cast<std::uintptr_t>(start) + size;
         at += page) {
        if (::mincore(reinterpret_cast<void*>(at), page, pages.data()) == 0)
            return true;
        EXPECT_EQ(errno, ENOMEM);
    }
    return false;
}

TEST(AlternateSignalStack, EachThreadGetsOneThatIsFreedWhenTheThreadEnds) {
    std::vector<stack_t> stacks(3);
    std::latch all_have_one(static_cast<std::ptrdiff_t>(stacks.size()));
    std::vector<std::thread> threads;
    for (stack_t& stack : stacks) {
        threads.emplace_back([&stack, &all_have_one] {
            ensure_alternate_signal_stack();
            stack = current_alternate_stack();
            ensure_alternate_signal_stack(); // a second call keeps the stack
            EXPECT_EQ(current_alternate_stack().ss_sp, stack.ss_sp);
            all_have_one.arrive_and_wait(); // alive at once: each has a stack of its own
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const stack_t& stack : stacks) {
        ASSERT_EQ(stack.ss_flags & SS_DISABLE, 0);
        EXPECT_GE(stack.ss_size, static_cast<std::size_t>(MINSIGSTKSZ));
        EXPECT_FALSE(mapped(stack.ss_sp, stack.ss_size));
    }
    EXPECT_NE(stacks[0].ss_sp, stacks[1].ss_sp);
    EXPECT_NE(stacks[1].ss_sp, stacks[2].ss_sp);
}

TEST(AlternateSignalStack, AStackSetUpBySomeoneElseStays) {
    std::thread([] {
        std::vector<char> own(static_cast<std::size_t>(SIGSTKSZ) * 4);
        stack_t stack{};
        stack.ss_sp = own.data();
        stack.ss_size = own.size();
        const stack_t before = current_alternate_stack();
        ASSERT_EQ(::sigaltstack(&stack, nullptr), 0);
        ensure_alternate_signal_stack();
        EXPECT_EQ(current_alternate_stack().ss_sp, own.data());
        // Put back what the thread had, so that no signal lands on freed memory.
        ::sigaltstack(&before, nullptr);
    }).join();
}

} // namespace
} // namespace zel::platform
