#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zel::platform {

struct HostLookupResult {
    std::uint32_t address = 0; // IPv4, host byte order; valid when `error` is 0
    int error = 0;             // errno for a system failure, else the resolver's code made positive
    std::string description;   // the system's text for `error`
};

// Resolves a host name or dotted address to its first IPv4 address. Blocks.
HostLookupResult lookup_ipv4(const std::string& host);

// The same look-up on a thread of its own, so that an event loop never blocks on a resolver.
// `ready_descriptor` becomes readable once `result` has the answer; when it is negative the
// answer was found at once, without a thread. Destroying the object abandons the answer; the
// thread ends on its own.
class HostLookup {
public:
    explicit HostLookup(const std::string& host);
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    int ready_descriptor() const;
    std::optional<HostLookupResult> result();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace zel::platform
