#pragma once

#include <mutex>

namespace zel {

// The lock of every list, queue and task of the concurrency helpers. It is re-entrant because
// list operations call one another with the lock held (Add -> Grow -> SetCapacity, Remove ->
// IndexOf -> Delete). Windows critical sections take a spin count; a pthread mutex has no such
// setting, so the spin counts of these helpers have no counterpart here.
using TCriticalSection = std::recursive_mutex;

} // namespace zel
