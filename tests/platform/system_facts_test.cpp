#include "platform/command_line.h"
#include "platform/system_uptime.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zel::platform {
namespace {

TEST(SystemFacts, CommandLineStartsWithThisProgram) {
    const std::vector<std::string> arguments = command_line_arguments();
    ASSERT_FALSE(arguments.empty());
    EXPECT_EQ(std::filesystem::path(arguments[0]).filename(), "platform_tests");
}

TEST(SystemFacts, UptimeIsPositive) {
    EXPECT_GT(system_uptime_seconds(), 0.0);
}

} // namespace
} // namespace zel::platform
