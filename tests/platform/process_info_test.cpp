#include "platform/process_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zel::platform {
namespace {

TEST(ProcessInfo, ThreadIdsDifferAcrossThreadsAndMainThreadIdIsProcessId) {
    const auto main_id = current_thread_id();
    EXPECT_EQ(main_id, current_process_id());

    std::uint32_t other_id = 0;
    std::thread([&] { other_id = current_thread_id(); }).join();
    EXPECT_NE(other_id, 0u);
    EXPECT_NE(other_id, main_id);
}

TEST(ProcessInfo, ForkedChildSeesItsOwnThreadId) {
    (void)current_thread_id(); // fill the parent's cache first
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(current_thread_id() == static_cast<std::uint32_t>(::getpid()) ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ProcessInfo, ExecutablePathNamesThisTestProgram) {
    const std::filesystem::path path = executable_path();
    EXPECT_TRUE(path.is_absolute());
    EXPECT_EQ(path.filename(), "platform_tests");
}

} // namespace
} // namespace zel::platform
