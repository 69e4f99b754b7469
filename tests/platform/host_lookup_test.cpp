#include "platform/host_lookup.h"

#include <gtest/gtest.h>

#include <optional>
#include <poll.h>

namespace zel::platform {
namespace {

std::optional<HostLookupResult> wait_for(HostLookup& lookup) {
    if (auto found = lookup.result())
        return found;
    pollfd ready{lookup.ready_descriptor(), POLLIN, 0};
    if (::poll(&ready, 1, 10000) != 1)
        return std::nullopt;
    return lookup.result();
}

TEST(HostLookup, AnswersOnItsOwnThreadAndMayBeAbandoned) {
    for (int round = 0; round < 20; ++round) {
        HostLookup local("127.0.0.1");
        const auto found = wait_for(local);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->error, 0);
        EXPECT_EQ(found->address, 0x7F000001u);
        EXPECT_FALSE(local.result().has_value()); // the answer is handed out once

        HostLookup failing("");
        const auto failed = wait_for(failing);
        ASSERT_TRUE(failed.has_value());
        EXPECT_NE(failed->error, 0);
        EXPECT_FALSE(failed->description.empty());

        HostLookup abandoned("localhost"); // destroyed while its thread may still run
    }
}

} // namespace
} // namespace zel::platform
