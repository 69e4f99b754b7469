#pragma once

#include <functional>

namespace zel::test {

// Runs the calling thread's event loop until `condition` holds or `timeout_ms` has passed;
// returns the condition's last value. The condition is checked after every batch of events.
bool wait_until(const std::function<bool()>& condition, int timeout_ms = 10000);

} // namespace zel::test
