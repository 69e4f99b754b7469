#include "Common/task_pool.h"
#include "log/core/log_root.h"
#include "log/diagnostics/exception_capture.h"
#include "log/diagnostics/log_diagnostics.h"
#include "platform/process_info.h"
#include "tests/support/faults.h"

#include <QByteArray>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zel {
namespace {

using test::ended_by;
using test::opaque;
using test::recurse;

std::atomic<TThreadID> faulting_thread{0};

// A root that prints every exception event it receives on standard error, after the root's
// name, and tells whether the event is the faulting thread's.
std::shared_ptr<TLogRoot> printing_root(const QString& name) {
    install_log_diagnostics();
    auto root = TLogRoot::Create();
    root->set_OnAdded([name](const void*, const ILogEventPtr& entry) {
        if (entry->log_type() != LK_EXCEPTION)
            return;
        const bool faulting = entry->thread_id() == faulting_thread.load();
        const QByteArray text =
            ("[" + name + "] " + entry->text() + "\n" + entry->value_as_text() +
             (faulting ? "\nof the faulting thread\n" : "\nof another thread\n"))
                .toUtf8();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
        std::fflush(stderr);
    });
    return root;
}

class FatalSignalEvent : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(FatalSignalEvent, AccessViolationBecomesAnExceptionEventBeforeTheProcessDies) {
    EXPECT_EXIT(
        {
            const auto root = printing_root("root");
            register_exception_root(root);
            faulting_thread = root->thread_id();
            *opaque(reinterpret_cast<volatile int*>(0x10)) = 1;
        },
        ended_by{SIGSEGV},
        "\\[root\\] Access violation at address [0-9A-F]+ with 2 parameters: \r\n"
        "Param 0: \\$00000001\r\nParam 1: \\$00000010\n"
        "Exception:code=0xC0000005h,flags=0,address=0x[0-9A-F]+h,nb_parameters=2,"
        "parameters=\\[1,16\\]\nof the faulting thread\n");
}

TEST_F(FatalSignalEvent, FaultOnAThreadWithItsOwnRootGoesToThatRootAsThatThread) {
    EXPECT_EXIT(
        {
            const auto first = printing_root("first");
            register_exception_root(first);
            std::thread([] {
                const auto own = printing_root("own");
                register_exception_root(own);
                faulting_thread = own->thread_id();
                std::exit(test::divide(opaque(1), opaque(0)));
            }).join();
        },
        ended_by{SIGFPE},
        ::testing::AllOf(
            ::testing::ContainsRegex(
                "^\\[own\\] Integer division by zero at address [0-9A-F]+ with 0 parameters: \n"
                "Exception:code=0xC0000094h[^\n]*\nof the faulting thread\n"),
            ::testing::Not(::testing::HasSubstr("[first]"))));
}

TEST_F(FatalSignalEvent, StackOverflowOnAThreadOfItsOwnIsReported) {
    const char* const overflow_event =
        "\\[root\\] Stack overflow at address [0-9A-F]+ with 2 parameters: [^\n]*\n"
        "[^\n]*\n[^\n]*\nException:code=0xC00000FDh[^\n]*\nof the faulting thread\n";
    EXPECT_EXIT(
        {
            const auto root = printing_root("root");
            register_exception_root(root);
            std::thread([&root] {
                root->add(LK_INFO, QStringLiteral("a thread that logs"));
                faulting_thread = platform::current_thread_id();
                std::exit(recurse(0));
            }).join();
        },
        ended_by{SIGSEGV}, overflow_event);
    EXPECT_EXIT(
        {
            const auto root = printing_root("root");
            register_exception_root(root);
            TTaskPool pool(1);
            pool.ScheduleTask(
                [](ITask&, std::int32_t, std::int32_t) {
                    faulting_thread = platform::current_thread_id();
                    std::exit(recurse(0));
                },
                false);
        },
        ended_by{SIGSEGV}, overflow_event);
}

// Whether the kernel has `thread` asleep (state S in its /proc stat line).
bool asleep(TThreadID thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t name_end = line.rfind(')');
    return name_end != std::string::npos && name_end + 2 < line.size() && line[name_end + 2] == 'S';
}

// Polls `condition` (a state of another thread that raises no event) for at most two
// seconds, well within a faulting thread's patience.
template <typename Condition>
bool holds_soon(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

// Faults at once: one thread faults first, the others once its report has begun. Each faults
// at an address of its own, 0x10 apart from 0x10 on.
constexpr int most_others = 20; // more faulting threads than the handler has slots
std::atomic<int> others_count{0};
std::atomic<TThreadID> others[most_others];
std::atomic<bool> others_may_fault{false};
std::atomic<int> others_faulting{0};

bool all_others_wait_in_their_handler() {
    if (others_faulting.load() != others_count.load())
        return false;
    for (int i = 0; i < others_count.load(); ++i) {
        if (!asleep(others[i].load()))
            return false;
    }
    return true;
}

// The first fault's event is held back until every other thread has faulted and waits in its
// handler: all faults are then in flight at once, whatever the scheduler does.
void print_and_hold_the_first(const void*, const ILogEventPtr& entry) {
    if (entry->log_type() != LK_EXCEPTION)
        return;
    const QByteArray text = (entry->text() + "\n").toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    std::fflush(stderr);
    static bool first = true; // the reporter thread's own
    if (std::exchange(first, false)) {
        others_may_fault = true;
        others_may_fault.notify_all();
        if (!holds_soon(&all_others_wait_in_their_handler))
            std::fputs("the other threads did not fault\n", stderr);
    }
}

// Whether the child's output holds `count` access violation events, for the addresses 0x10,
// 0x20, ... each.
auto reports_of(int count) {
    return ::testing::Truly([count](const std::string& output) {
        const std::string event = "Access violation at address ";
        int events = 0;
        for (std::size_t at = output.find(event); at != std::string::npos;
             at = output.find(event, at + 1))
            ++events;
        for (int i = 1; i <= count; ++i) {
            char parameter[40];
            std::snprintf(parameter, sizeof parameter, "\r\nParam 1: $%.8X\n",
                          static_cast<unsigned>(0x10 * i));
            if (output.find(parameter) == std::string::npos)
                return false;
        }
        return events == count;
    });
}

class FaultsAtOnce : public FatalSignalEvent, public ::testing::WithParamInterface<int> {};

TEST_P(FaultsAtOnce, EveryThreadThatFaultsIsReported) {
    const int other_threads = GetParam();
    EXPECT_EXIT(
        {
            install_log_diagnostics();
            const auto root = TLogRoot::Create();
            root->set_OnAdded(&print_and_hold_the_first);
            register_exception_root(root);
            others_count = other_threads;
            std::vector<std::thread> threads;
            for (int i = 0; i < other_threads; ++i) {
                threads.emplace_back([i] {
                    others[i] = platform::current_thread_id();
                    others_may_fault.wait(false);
                    ++others_faulting;
                    *opaque(reinterpret_cast<volatile int*>(0x20 + 0x10 * i)) = 2;
                });
            }
            threads.emplace_back([] { *opaque(reinterpret_cast<volatile int*>(0x10)) = 1; });
            for (std::thread& thread : threads)
                thread.join();
        },
        ended_by{SIGSEGV}, reports_of(other_threads + 1));
}

INSTANTIATE_TEST_SUITE_P(OtherThreads, FaultsAtOnce, ::testing::Values(1, most_others));

} // namespace
} // namespace zel
