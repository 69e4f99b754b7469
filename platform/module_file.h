#pragma once

#include <string>

namespace zel::platform {

// Full path of the module (the executable or a shared library) that holds `address`; the
// executable's path for a null address. Empty when the module cannot be named.
std::string module_path(const void* address);

// Whether `address` lies in a shared library rather than in the executable itself.
bool in_shared_library(const void* address);

} // namespace zel::platform
