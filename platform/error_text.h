#pragma once

#include <string>

namespace zel::platform {

// The system's description of an errno value; empty for a number the system does not know.
std::string error_description(int error);

} // namespace zel::platform
