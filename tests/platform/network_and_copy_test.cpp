#include "platform/error_text.h"
#include "platform/file_copy.h"
#include "platform/host_lookup.h"
#include "platform/service_port.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zel::platform {
namespace {

TEST(ServicePort, DecimalNumbersServiceNamesAndTheFtpFallback) {
    EXPECT_EQ(tcp_service_port("ftp"), 21);
    EXPECT_EQ(tcp_service_port("2121"), 2121);
    EXPECT_EQ(tcp_service_port("65535"), 65535);
    for (const char* bad : {"", "0", "65536", "-1", "21x", "no-such-service-name"})
        EXPECT_FALSE(tcp_service_port(bad).has_value()) << bad;
}

TEST(HostLookup, DottedAddressAndFailure) {
    const auto local = lookup_ipv4("127.0.0.1");
    EXPECT_EQ(local.error, 0);
    EXPECT_EQ(local.address, 0x7F000001u);
    const auto empty = lookup_ipv4("");
    EXPECT_NE(empty.error, 0);
    EXPECT_FALSE(empty.description.empty());
}

TEST(ErrorText, KnownAndUnknownNumbers) {
    EXPECT_EQ(error_description(ECONNREFUSED), "Connection refused");
    EXPECT_TRUE(error_description(987654).empty());
}

class FileCopy : public ::testing::Test {
protected:
    std::string write(const char* name, const std::string& bytes) const {
        const auto path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    QTemporaryDir dir;
    const std::filesystem::path folder{dir.path().toStdString()};
};

TEST_F(FileCopy, CopiesAllBytesAndReplacesAnExistingTarget) {
    std::string bytes(3 * 1024 * 1024 + 5, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 31);
    const auto from = write("from", bytes);
    const auto to = write("to", std::string(10 * 1024 * 1024, 'x'));
    ASSERT_EQ(copy_file(from, to), 0);
    EXPECT_EQ(read(to), bytes);
    ASSERT_EQ(copy_file(write("empty", ""), to), 0);
    EXPECT_EQ(std::filesystem::file_size(to), 0u);
}

TEST_F(FileCopy, MissingSourceOrFolderLeavesNoTarget) {
    const auto to = (folder / "to").string();
    EXPECT_EQ(copy_file((folder / "missing").string(), to), ENOENT);
    EXPECT_FALSE(std::filesystem::exists(to));
    EXPECT_EQ(copy_file(folder.string(), to), EISDIR);
    EXPECT_FALSE(std::filesystem::exists(to));
}

} // namespace
} // namespace zel::platform
