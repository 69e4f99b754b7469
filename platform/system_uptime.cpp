#include "platform/system_uptime.h"

#include <ctime>

namespace zel::platform {

double system_uptime_seconds() {
    timespec now{};
    if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return -1;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace zel::platform
