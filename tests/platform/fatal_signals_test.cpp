#include "platform/alternate_signal_stack.h"
#include "platform/fatal_signals.h"
#include "platform/process_info.h"
#include "tests/support/faults.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace zel::platform {
namespace {

using test::opaque;
using test::recurse;

// Async-signal-safe: "code=C0000005 n=2 p0=1 p1=10" on standard error.
void append_hex(char*& out, std::uintptr_t value, int min_digits) {
    char digits[16];
    int count = 0;
    do {
        digits[count++] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    for (int i = count; i < min_digits; ++i)
        *out++ = '0';
    while (count > 0)
        *out++ = digits[--count];
}

void append(char*& out, const char* text) {
    while (*text != '\0')
        *out++ = *text++;
}

// Runs on the reporter thread, which answers the faulting thread's id.
void print_record(const exception_pointers& exception, std::uint32_t faulting_thread) noexcept {
    if (faulting_thread != current_thread_id())
        return;
    char line[200];
    char* out = line;
    const exception_record& record = *exception.record;
    append(out, "code=");
    append_hex(out, record.code, 8);
    append(out, " n=");
    append_hex(out, record.nb_parameters, 1);
    for (std::uint32_t i = 0; i < record.nb_parameters && i < 2; ++i) {
        append(out, i == 0 ? " p0=" : " p1=");
        append_hex(out, record.parameters[i], 1);
    }
    append(out, record.address != 0 ? " at-address\n" : " no-address\n");
    (void)!::write(STDERR_FILENO, line, static_cast<std::size_t>(out - line));
}

void capture() {
    ASSERT_TRUE(install_fatal_signal_handlers(&print_record));
}

void previous_handler(int, siginfo_t*, void*) {
    (void)!::write(STDERR_FILENO, "previous handler\n", 17);
    ::_exit(3);
}

class FatalSignals : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(FatalSignals, MemoryFaultsGiveTheAccessKindAndAddress) {
    EXPECT_EXIT(
        {
            capture();
            *opaque(reinterpret_cast<volatile int*>(0x10)) = 1;
        },
        testing::KilledBySignal(SIGSEGV), "code=C0000005 n=2 p0=1 p1=10 at-address");
    EXPECT_EXIT(
        {
            capture();
            std::exit(*opaque(reinterpret_cast<volatile int*>(0x20)));
        },
        testing::KilledBySignal(SIGSEGV), "code=C0000005 n=2 p0=0 p1=20");
}

TEST_F(FatalSignals, RunningOutOfStackIsAStackOverflow) {
    EXPECT_EXIT(
        {
            // The main thread's stack grows up to its limit, which may be unlimited here: the
            // recursion would take all memory first.
            rlimit stack{};
            ::getrlimit(RLIMIT_STACK, &stack);
            stack.rlim_cur = std::min<rlim_t>(stack.rlim_cur, 8 << 20);
            ::setrlimit(RLIMIT_STACK, &stack);
            capture();
            std::exit(recurse(0));
        },
        testing::KilledBySignal(SIGSEGV), "code=C00000FD n=2 p0=1");
}

TEST_F(FatalSignals, ArithmeticFaultsAreNamedByTheirReason) {
    EXPECT_EXIT(
        {
            capture();
            std::exit(opaque(1) / opaque(0));
        },
        testing::KilledBySignal(SIGFPE), "code=C0000094 n=0");
    EXPECT_EXIT(
        {
            capture();
            feenableexcept(FE_DIVBYZERO);
            std::exit(static_cast<int>(opaque(1.0) / opaque(0.0)));
        },
        testing::KilledBySignal(SIGFPE), "code=C000008E n=0");
    EXPECT_EXIT(
        {
            capture();
            feenableexcept(FE_INVALID);
            std::exit(static_cast<int>(opaque(0.0) / opaque(0.0)));
        },
        testing::KilledBySignal(SIGFPE), "code=C0000090 n=0");
}

TEST_F(FatalSignals, IllegalInstructionAbortAndBusError) {
    EXPECT_EXIT(
        {
            capture();
            __builtin_trap();
        },
        testing::KilledBySignal(SIGILL), "code=C000001D");
    EXPECT_EXIT(
        {
            capture();
            std::abort();
        },
        testing::KilledBySignal(SIGABRT), "code=40000015");
    EXPECT_EXIT(
        {
            capture();
            // A mapped file that shrinks under the mapping: the page has no data any more.
            const std::string path = std::filesystem::temp_directory_path() / "zel-sigbus-XXXXXX";
            std::string name = path;
            const int fd = ::mkstemp(name.data());
            ::unlink(name.c_str());
            (void)!::ftruncate(fd, 4096);
            auto* page =
                static_cast<volatile char*>(::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0));
            (void)!::ftruncate(fd, 0);
            std::exit(page[0]);
        },
        testing::KilledBySignal(SIGBUS), "code=C0000006 n=2 p0=0");
}

TEST_F(FatalSignals, SignalSentByAProcessIsReportedAndStillKills) {
    EXPECT_EXIT(
        {
            capture();
            ::kill(::getpid(), SIGSEGV);
            std::exit(0);
        },
        testing::KilledBySignal(SIGSEGV), "code=C0000005");
}

TEST_F(FatalSignals, PreviousHandlerRunsAfterTheObserver) {
    EXPECT_EXIT(
        {
            struct sigaction previous {};
            previous.sa_sigaction = &previous_handler;
            previous.sa_flags = SA_SIGINFO;
            ::sigaction(SIGSEGV, &previous, nullptr);
            capture();
            *opaque(reinterpret_cast<volatile int*>(0x10)) = 1;
        },
        testing::ExitedWithCode(3), "code=C0000005[^\n]*\nprevious handler");
}

TEST_F(FatalSignals, RemovingPutsThePreviousDispositionBack) {
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGBUS, nullptr, &before), 0);
    ASSERT_TRUE(install_fatal_signal_handlers(&print_record));
    struct sigaction during {};
    ::sigaction(SIGBUS, nullptr, &during);
    EXPECT_NE(during.sa_flags & SA_SIGINFO, 0);
    remove_fatal_signal_handlers();
    struct sigaction after {};
    ::sigaction(SIGBUS, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

std::mutex held_by_the_faulting_thread;

void wait_for_the_faulting_thread(const exception_pointers&, std::uint32_t) noexcept {
    (void)!::write(STDERR_FILENO, "observer waits\n", 15);
    const std::lock_guard never(held_by_the_faulting_thread);
    (void)!::write(STDERR_FILENO, "observer done\n", 14);
}

TEST_F(FatalSignals, FaultOnAnotherThreadIsReportedWithThatThreadsId) {
    EXPECT_EXIT(
        {
            capture();
            std::thread([] {
                ensure_alternate_signal_stack();
                const std::string line =
                    "faulting thread " + std::to_string(current_thread_id()) +
                    (current_thread_id() != current_process_id() ? " is not main\n" : "\n");
                (void)!::write(STDERR_FILENO, line.data(), line.size());
                std::exit(recurse(0));
            }).join();
        },
        testing::KilledBySignal(SIGSEGV), "is not main\ncode=C00000FD");
}

TEST_F(FatalSignals, ObserverThatCannotFinishIsGivenUp) {
    EXPECT_EXIT(
        {
            ASSERT_TRUE(install_fatal_signal_handlers(&wait_for_the_faulting_thread));
            held_by_the_faulting_thread.lock();
            *opaque(reinterpret_cast<volatile int*>(0x10)) = 1;
        },
        testing::KilledBySignal(SIGSEGV), "observer waits\n$");
}

TEST(FloatInvalidRefinement, MorePreciseConditionsWinInTheirOrder) {
    const struct {
        unsigned conditions;
        bool stack_fault;
        std::uint32_t code;
    } cases[] = {
        {0x00, false, 0xC0000090}, {0x01, false, 0xC0000090}, {0x3E, false, 0xC000008D},
        {0x3C, false, 0xC000008E}, {0x05, false, 0xC000008E}, {0x38, false, 0xC0000091},
        {0x30, false, 0xC0000093}, {0x20, false, 0xC000008F}, {0x04, true, 0xC0000092},
        {0x00, true, 0xC0000092},
    };
    for (const auto& c : cases)
        EXPECT_EQ(refine_float_invalid(c.conditions, c.stack_fault), c.code) << c.conditions;
}

TEST(SignalExceptionText, CodesWithoutAWindowsNameUseTheSignalsDescription) {
    EXPECT_EQ(signal_exception_text(0x40000015), "Aborted");
    EXPECT_EQ(signal_exception_text(0xC000001C), "Bad system call");
    EXPECT_EQ(signal_exception_text(0xC0000005), "");
    EXPECT_EQ(signal_exception_text(0x12345678), "");
}

} // namespace
} // namespace zel::platform
