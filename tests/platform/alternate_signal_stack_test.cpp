#include "platform/alternate_signal_stack.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <latch>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zel::platform {
namespace {

stack_t current_alternate_stack() {
    stack_t current{};
    EXPECT_EQ(::sigaltstack(nullptr, &current), 0);
    return current;
}

// AddressSanitizer gives every thread an alternate stack of its own, which ours leaves in place.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool stacks_are_ours = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool stacks_are_ours = false;
#else
constexpr bool stacks_are_ours = true;
#endif
#else
constexpr bool stacks_are_ours = true;
#endif

// Whether the stack is still mapped as it was made: an inaccessible guard page ending where the
// stack begins, and the stack's first page readable and writable. The address range itself may
// be mapped again by anything else once it is freed (a sanitizer's allocator does), but not in
// this shape.
bool still_mapped(const stack_t& stack) {
    const auto begin = reinterpret_cast<std::uintptr_t>(stack.ss_sp);
    bool guard = false;
    bool writable = false;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        std::uintptr_t from = 0;
        std::uintptr_t to = 0;
        char perms[5] = {};
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " %4s", &from, &to, perms) != 3)
            continue;
        guard = guard || (to == begin && std::string_view(perms).starts_with("---"));
        writable =
            writable || (from <= begin && begin < to && std::string_view(perms).starts_with("rw"));
    }
    return guard && writable;
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
            EXPECT_EQ(still_mapped(stack), stacks_are_ours);
            all_have_one.arrive_and_wait(); // alive at once: each has a stack of its own
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const stack_t& stack : stacks) {
        ASSERT_EQ(stack.ss_flags & SS_DISABLE, 0);
        EXPECT_GE(stack.ss_size, static_cast<std::size_t>(MINSIGSTKSZ));
        EXPECT_FALSE(still_mapped(stack));
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
