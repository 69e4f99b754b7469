#pragma once

namespace zel::platform {

// Seconds since the system booted, suspended time included; a negative value when unknown.
double system_uptime_seconds();

} // namespace zel::platform
