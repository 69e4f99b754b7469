#include "Common/event.h"

#include <chrono>

namespace zel {

TEvent::TEvent(TResetMode mode, bool initially_signaled)
    : Fmanual_reset(mode == TResetMode::manual)
    , Fsignaled(initially_signaled) {}

void TEvent::SetEvent() {
    // Notify under the lock: a released waiter may destroy the event as soon as it returns.
    std::scoped_lock guard(Fmutex);
    Fsignaled = true;
    if (Fmanual_reset)
        Fchanged.notify_all();
    else
        Fchanged.notify_one();
}

void TEvent::ResetEvent() {
    std::scoped_lock guard(Fmutex);
    Fsignaled = false;
}

TWaitResult TEvent::WaitFor(std::uint32_t timeout) {
    std::unique_lock guard(Fmutex);
    const auto signaled = [this] { return Fsignaled; };
    if (timeout == infinite_timeout)
        Fchanged.wait(guard, signaled);
    else if (!Fchanged.wait_for(guard, std::chrono::milliseconds(timeout), signaled))
        return TWaitResult::wrTimeout;
    if (!Fmanual_reset)
        Fsignaled = false;
    return TWaitResult::wrSignaled;
}

} // namespace zel
