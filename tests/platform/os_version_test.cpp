#include "platform/os_version.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

namespace zel::platform {
namespace {

TEST(OsVersion, OsReleaseValuesAreUnquoted) {
    const std::string text = "NAME=\"Debian GNU/Linux\"\n"
                             "VERSION_ID='12'\n"
                             "ID=debian\n"
                             "PRETTY_NAME=\"Say \\\"hi\\\" 12\"\n"
                             "EMPTY=\n";
    const struct {
        const char* key;
        const char* value;
    } cases[] = {
        {"NAME", "Debian GNU/Linux"},
        {"VERSION_ID", "12"},
        {"ID", "debian"},
        {"PRETTY_NAME", "Say \"hi\" 12"},
        {"EMPTY", ""},
        {"MISSING", ""},
        {"NAM", ""}, // a prefix of a key is not the key
    };
    for (const auto& c : cases)
        EXPECT_EQ(os_release_value(text, c.key), c.value) << c.key;
}

TEST(OsVersion, NativeArchitectureBits) {
    EXPECT_EQ(native_architecture_bits("x86_64"), 64);
    EXPECT_EQ(native_architecture_bits("i686"), 32);
    EXPECT_EQ(native_architecture_bits("i386"), 32);
    EXPECT_EQ(native_architecture_bits("aarch64"), 0);
    EXPECT_EQ(native_architecture_bits(""), 0);
}

TEST(OsVersion, KernelFieldsMatchUname) {
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    const os_version version = read_os_version();
    EXPECT_EQ(version.kernel_name, names.sysname);
    EXPECT_EQ(version.kernel_release, names.release);
    EXPECT_EQ(version.machine, names.machine);
    EXPECT_FALSE(version.pretty_name.empty());
    const std::string numbers =
        std::to_string(version.kernel_major) + "." + std::to_string(version.kernel_minor) + ".";
    EXPECT_EQ(version.kernel_release.rfind(numbers, 0), 0U) << version.kernel_release;
}

} // namespace
} // namespace zel::platform
