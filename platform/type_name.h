#pragma once

#include <string>
#include <typeinfo>

namespace zel::platform {

// The type as written in the source, e.g. "std::runtime_error"; the mangled name when the
// runtime cannot demangle it.
std::string type_name(const std::type_info& type);

} // namespace zel::platform
