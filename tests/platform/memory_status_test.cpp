#include "platform/memory_status.h"

#include <gtest/gtest.h>

#include <sys/sysinfo.h>

namespace zel::platform {
namespace {

constexpr std::uint64_t kib = 1024;

TEST(MemoryStatus, MeminfoFieldsBecomeTheFigures) {
    const char* text = "MemTotal:        8000000 kB\n"
                       "MemFree:         1000000 kB\n"
                       "MemAvailable:    2000000 kB\n"
                       "SwapTotal:       1000000 kB\n"
                       "Committed_AS:    4000000 kB\n";
    memory_status status;
    ASSERT_TRUE(parse_meminfo(text, status));
    EXPECT_EQ(status.total_physical, 8000000 * kib);
    EXPECT_EQ(status.available_physical, 2000000 * kib);
    EXPECT_EQ(status.memory_load, 75U);
    EXPECT_EQ(status.total_commit, 9000000 * kib);
    EXPECT_EQ(status.available_commit, 5000000 * kib);
}

TEST(MemoryStatus, OldKernelsWithoutMemAvailableAndOvercommitGiveSaneFigures) {
    const char* text = "MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 250 kB\n"
                       "Committed_AS: 5000 kB\n";
    memory_status status;
    ASSERT_TRUE(parse_meminfo(text, status));
    EXPECT_EQ(status.available_physical, 400 * kib);
    EXPECT_EQ(status.memory_load, 60U);
    EXPECT_EQ(status.available_commit, 0U); // more promised than there is: never negative
}

TEST(MemoryStatus, TextWithoutMemTotalIsRefused) {
    memory_status status;
    EXPECT_FALSE(parse_meminfo("", status));
    EXPECT_FALSE(parse_meminfo("MemFree: 10 kB\n", status));
    EXPECT_FALSE(parse_meminfo("MemTotal: lots\n", status));
}

TEST(MemoryStatus, ThisMachineAgreesWithSysinfo) {
    struct sysinfo info {};
    ASSERT_EQ(::sysinfo(&info), 0);
    memory_status full;
    memory_status basic;
    ASSERT_TRUE(read_memory_status(full));
    ASSERT_TRUE(read_basic_memory_status(basic));
    const std::uint64_t total = std::uint64_t{info.totalram} * info.mem_unit;
    EXPECT_EQ(basic.total_physical, total);
    // MemTotal and sysinfo's totalram are the same kernel figure (kB against bytes).
    EXPECT_EQ(full.total_physical / kib, total / kib);
    EXPECT_LE(full.available_physical, full.total_physical);
    EXPECT_LE(full.memory_load, 100U);
    EXPECT_GT(full.total_virtual, 0U);
    EXPECT_GT(full.available_virtual, 0U);
    EXPECT_LT(full.available_virtual, full.total_virtual); // this process has reserved some
    EXPECT_GE(full.total_commit, full.total_physical);
    EXPECT_EQ(full.available_extended_virtual, 0U);
}

} // namespace
} // namespace zel::platform
