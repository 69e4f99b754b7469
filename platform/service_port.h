#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zel::platform {

// A TCP port given in decimal or as a service name of the services database. "ftp" gives 21
// even on a system without that database. Empty when the name is unknown or out of range.
std::optional<std::uint16_t> tcp_service_port(const std::string& service);

} // namespace zel::platform
