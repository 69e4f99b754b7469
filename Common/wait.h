#pragma once

#include <chrono>
#include <cstdint>
#include <limits>
#include <semaphore>

namespace zel {

// Time-outs are milliseconds; this value waits without limit.
inline constexpr std::uint32_t infinite_timeout = 4294967295U;

// The outcome of a wait, numbered as callers compare it. The standard library's primitives
// produce only the first two: nothing here is abandoned, and their waits cannot fail.
enum class TWaitResult : std::int32_t {
    wrSignaled = 0,
    wrTimeout = 1,
    wrAbandoned = 2,
    wrError = 3
};

// A counting semaphore with the largest count a 32-bit signed value holds.
using TSemaphore = std::counting_semaphore<std::numeric_limits<std::int32_t>::max()>;

inline TWaitResult wait_for(TSemaphore& semaphore, std::uint32_t timeout) {
    bool taken = false;
    if (timeout == infinite_timeout) {
        semaphore.acquire();
        taken = true;
    } else if (timeout == 0) {
        taken = semaphore.try_acquire();
    } else {
        taken = semaphore.try_acquire_for(std::chrono::milliseconds(timeout));
    }
    return taken ? TWaitResult::wrSignaled : TWaitResult::wrTimeout;
}

} // namespace zel
