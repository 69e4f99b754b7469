#pragma once

#include <string>

namespace zel::platform {

// The system's description of an errno value; empty for a number the system does not know.
std::string error_description(int error);

// The calling thread's last error (errno); 0 when none is pending.
int last_error() noexcept;

} // namespace zel::platform
