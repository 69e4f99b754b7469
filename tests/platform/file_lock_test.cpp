#include "platform/file_lock.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zel::platform {
namespace {

class FileLock : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

    QTemporaryDir folder_;
    const std::string path_ = folder_.filePath("crash_list.lock").toStdString();
};

TEST_F(FileLock, AnotherProcessHoldsItUntilItDies) {
    int ready[2];
    int hold[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(hold), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        file_lock lock(path_);
        const char answer = lock.lock() ? 'y' : 'n';
        (void)!::write(ready[1], &answer, 1);
        char never = 0;
        (void)!::read(hold[0], &never, 1); // until killed
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    EXPECT_EQ(answer, 'y');

    file_lock mine(path_);
    EXPECT_FALSE(mine.try_lock());

    ::kill(child, SIGKILL); // no unlock: the kernel lets go when the process dies
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(mine.try_lock());
    for (const int fd : {ready[0], ready[1], hold[0], hold[1]})
        ::close(fd);
}

TEST_F(FileLock, WaiterInThisProcessGetsItWhenTheHolderUnlocks) {
    file_lock holder(path_);
    ASSERT_TRUE(holder.lock());
    file_lock waiter(path_);
    EXPECT_FALSE(waiter.try_lock()); // two opens of one file exclude each other

    bool got_it = false;
    std::thread thread([&] { got_it = waiter.lock(); });
    holder.unlock();
    thread.join();
    EXPECT_TRUE(got_it);
    EXPECT_FALSE(holder.try_lock());
}

TEST_F(FileLock, FileThatCannotBeCreatedCannotBeLocked) {
    file_lock lock(folder_.filePath("missing/x.lock").toStdString());
    EXPECT_FALSE(lock.try_lock());
    EXPECT_FALSE(lock.lock());
}

} // namespace
} // namespace zel::platform
