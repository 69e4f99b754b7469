#pragma once

#include <cstdint>
#include <string>

namespace zel::platform {

struct HostLookupResult {
    std::uint32_t address = 0; // IPv4, host byte order; valid when `error` is 0
    int error = 0;             // errno for a system failure, else the resolver's code made positive
    std::string description;   // the system's text for `error`
};

// Resolves a host name or dotted address to its first IPv4 address. Blocks; call it off the
// thread that serves events.
HostLookupResult lookup_ipv4(const std::string& host);

} // namespace zel::platform
