#pragma once

#include <cstdint>

namespace zel::platform {

// The high-resolution counter: nanoseconds of a monotonic clock that keeps counting while the
// machine is suspended (CLOCK_BOOTTIME), so that a time derived from an earlier reading stays
// true after a suspend.
std::int64_t performance_counter_ns() noexcept;

} // namespace zel::platform
