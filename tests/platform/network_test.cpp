#include "platform/error_text.h"
#include "platform/host_lookup.h"
#include "platform/service_port.h"

#include <gtest/gtest.h>

#include <cerrno>

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

} // namespace
} // namespace zel::platform
