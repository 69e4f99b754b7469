#include "platform/service_port.h"

#include <array>
#include <charconv>
#include <netdb.h>
#include <netinet/in.h>

namespace zel::platform {

std::optional<std::uint16_t> tcp_service_port(const std::string& service) {
    if (service.empty())
        return std::nullopt;
    unsigned number = 0;
    const char* end = service.data() + service.size();
    const auto [stop, error] = std::from_chars(service.data(), end, number);
    if (error == std::errc{} && stop == end)
        return number > 0 && number <= 65535 ? std::optional<std::uint16_t>(number) : std::nullopt;

    servent entry{};
    servent* found = nullptr;
    std::array<char, 1024> buffer{};
    if (::getservbyname_r(service.c_str(), "tcp", &entry, buffer.data(), buffer.size(), &found) ==
            0 &&
        found != nullptr)
        return ntohs(static_cast<std::uint16_t>(found->s_port));
    if (service == "ftp")
        return 21;
    return std::nullopt;
}

} // namespace zel::platform
