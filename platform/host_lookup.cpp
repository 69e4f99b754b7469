#include "platform/host_lookup.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

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

} // namespace zel::platform
