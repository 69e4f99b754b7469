#include "platform/host_lookup.h"

#include "platform/alternate_signal_stack.h"
#include "platform/unique_descriptor.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace zel::platform {

HostLookupResult lookup_ipv4(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    HostLookupResult result;
    if (status == EAI_SYSTEM) {
        result.error = errno;
        result.description = std::strerror(result.error);
    } else if (status != 0) {
        result.error = -status;
        result.description = ::gai_strerror(status);
    } else {
        const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        result.address = ntohl(address->sin_addr.s_addr);
    }
    if (found != nullptr)
        ::freeaddrinfo(found);
    return result;
}

// Owned jointly by the object and its thread: whichever lets go last closes the descriptor.
struct HostLookup::Shared {
    const unique_descriptor ready{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::mutex lock;
    std::optional<HostLookupResult> result;

    // Stores the answer, then makes `ready` readable.
    void publish(HostLookupResult found) {
        {
            const std::lock_guard guard(lock);
            result = std::move(found);
        }
        if (ready.valid()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto written = ::write(ready.get(), &one, sizeof one);
        }
    }
};

HostLookup::HostLookup(const std::string& host)
    : shared_(std::make_shared<Shared>()) {
    if (shared_->ready.valid()) {
        try {
            std::thread([shared = shared_, host] {
                ensure_alternate_signal_stack();
                shared->publish(lookup_ipv4(host));
            }).detach();
            return;
        } catch (const std::system_error&) {
        }
    }
    // No descriptor or no thread to be had: answer at once, blocking.
    shared_->publish(lookup_ipv4(host));
}

HostLookup::~HostLookup() = default;

int HostLookup::ready_descriptor() const {
    return shared_->ready.get();
}

std::optional<HostLookupResult> HostLookup::result() {
    const std::lock_guard guard(shared_->lock);
    return std::exchange(shared_->result, std::nullopt);
}

} // namespace zel::platform
