#include "log/core/log_root.h"
#include "log/diagnostics/exception_capture.h"
#include "log/diagnostics/log_diagnostics.h"
#include "tests/log_core/qt_print.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zel {
namespace {

// The first line of every exception event of `root`.
QStringList exception_lines(const ILogRootPtr& root) {
    QStringList lines;
    for (std::int32_t i = 0; i < root->event_count(); ++i) {
        const ILogEventPtr event = root->getevent(i);
        if (event->log_type() == LK_EXCEPTION)
            lines << event->text().section(QStringLiteral("\r\n"), 0, 0);
    }
    return lines;
}

void throw_and_catch(const char* message) {
    try {
        throw std::runtime_error(message);
    } catch (const std::exception&) {
    }
}

class ExceptionCapture : public ::testing::Test {
protected:
    void SetUp() override {
        install_log_diagnostics();
        first_root = TLogRoot::Create();
        ASSERT_TRUE(register_exception_root(first_root));
    }
    void TearDown() override {
        unregister_exception_root(nullptr);
        first_root->clear_all();
    }

    std::shared_ptr<TLogRoot> first_root;
};

TEST_F(ExceptionCapture, ExceptionIsNamedByItsMessageAndTypeWhenThrown) {
    throw_and_catch("disk full");
    const QStringList lines = exception_lines(first_root);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("disk full in std::runtime_error at address "))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(" with 3 parameters: "));
    EXPECT_TRUE(first_root->last_event()->value_as_text().startsWith("Exception:code=0x0EEDFADEh"));
}

TEST_F(ExceptionCapture, ThreadWithItsOwnRootKeepsItsExceptionsToItself) {
    std::shared_ptr<TLogRoot> own_root;
    std::thread with_root([&] {
        own_root = TLogRoot::Create();
        ASSERT_TRUE(register_exception_root(own_root));
        throw_and_catch("in the thread with a root");
    });
    with_root.join();
    std::thread([] { throw_and_catch("in a thread without a root"); }).join();
    throw_and_catch("in the main thread");

    const QStringList own = exception_lines(own_root);
    ASSERT_EQ(own.size(), 1);
    EXPECT_TRUE(own[0].startsWith("in the thread with a root in std::runtime_error"));
    const QStringList first = exception_lines(first_root);
    ASSERT_EQ(first.size(), 2);
    EXPECT_TRUE(first[0].startsWith("in a thread without a root"));
    EXPECT_TRUE(first[1].startsWith("in the main thread"));
    own_root->clear_all();
}

TEST_F(ExceptionCapture, RegistrationIsKeptOnceAndEndsWithTheLastRoot) {
    EXPECT_TRUE(register_exception_root(first_root)); // already there: no change
    EXPECT_TRUE(unregister_exception_root(first_root));
    EXPECT_FALSE(unregister_exception_root(first_root));
    throw_and_catch("nobody listens");
    EXPECT_TRUE(exception_lines(first_root).isEmpty());

    const std::shared_ptr<TLogRoot> other = TLogRoot::Create();
    EXPECT_FALSE(unregister_exception_root(other));
    EXPECT_FALSE(register_exception_root(nullptr));
}

TEST_F(ExceptionCapture, ExceptionsInsideTheLoggingOfAnExceptionAreNotLoggedAgain) {
    first_root->set_OnAdded([](const void*, const ILogEventPtr& entry) {
        if (entry->log_type() == LK_EXCEPTION)
            throw_and_catch("thrown while logging");
    });
    throw_and_catch("outer");
    const QStringList lines = exception_lines(first_root);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("outer in "));
}

// Exceptions counted with their folded repeats.
std::uint32_t exception_count(const ILogRootPtr& root) {
    std::uint32_t count = 0;
    for (std::int32_t i = 0; i < root->event_count(); ++i) {
        const ILogEventPtr event = root->getevent(i);
        if (event->log_type() == LK_EXCEPTION)
            count += 1 + event->repeat_count();
    }
    return count;
}

TEST_F(ExceptionCapture, ThreadsThrowingWhileRootsComeAndGo) {
    constexpr int threads = 4;
    constexpr std::uint32_t throws = 50;
    std::vector<std::shared_ptr<TLogRoot>> roots(threads);
    // A root reads the wall clock when it is made; glibc guards its time-zone state with a lock
    // that ThreadSanitizer cannot see, so the roots are made one at a time.
    std::mutex creating;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&roots, &creating, t] {
            {
                const std::lock_guard one_at_a_time(creating);
                roots[t] = TLogRoot::Create();
            }
            register_exception_root(roots[t]);
            for (std::uint32_t i = 0; i < throws; ++i)
                throw_and_catch("from a worker");
            unregister_exception_root(roots[t]);
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    for (const auto& root : roots) {
        EXPECT_EQ(exception_count(root), throws);
        root->clear_all();
    }
    EXPECT_EQ(exception_count(first_root), 0U);
}

} // namespace
} // namespace zel
