#pragma once

#include "log/core/log_interfaces.h"

namespace zel {

// Exception capture: while at least one root is registered, every C++ exception (seen when it
// is thrown, before any handler) and every fatal signal of the process becomes an LK_EXCEPTION
// event. It goes to the last registered root created by the thread that raised it, else to the
// first registered root.

// Registers `root` (again: no change). False when the capture could not be installed.
bool register_exception_root(const ILogRootPtr& root);

// Unregisters `root`, or every root for null; false when `root` was not registered. The
// capture is removed with the last root.
bool unregister_exception_root(const ILogRootPtr& root);

} // namespace zel
