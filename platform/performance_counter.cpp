#include "platform/performance_counter.h"

#include <ctime>

namespace zel::platform {

std::int64_t performance_counter_ns() noexcept {
    timespec now{};
    // The boot clock exists since Linux 2.6.39; the plain monotonic clock is its nearest stand-in.
    if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace zel::platform
