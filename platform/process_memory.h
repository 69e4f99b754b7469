#pragma once

#include <cstdint>

namespace zel::platform {

// Bytes of this process's memory that are resident in RAM now; 0 when it cannot be read.
std::uint64_t resident_set_size() noexcept;

} // namespace zel::platform
