#include "log/core/log_root.h"
#include "log/diagnostics/exception_capture.h"
#include "log/diagnostics/log_diagnostics.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace zel {
namespace {

template <typename T>
T opaque(T value) {
    volatile T copy = value;
    return copy;
}

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
        ::testing::KilledBySignal(SIGSEGV),
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
                std::exit(opaque(1) / opaque(0));
            }).join();
        },
        ::testing::KilledBySignal(SIGFPE),
        "^\\[own\\] Integer division by zero at address [0-9A-F]+ with 0 parameters: \n"
        "Exception:code=0xC0000094h[^\n]*\nof the faulting thread\n$");
}

} // namespace
} // namespace zel
