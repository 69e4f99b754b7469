#pragma once

#include "Common/wait.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace zel {

// A signalled / not signalled flag that threads wait on. A manual-reset event stays signalled
// and releases every waiter until ResetEvent; an auto-reset event releases one waiter and
// returns to not signalled.
class TEvent {
public:
    enum class TResetMode { manual, automatic };

    explicit TEvent(TResetMode mode, bool initially_signaled = false);

    void SetEvent();
    void ResetEvent();
    TWaitResult WaitFor(std::uint32_t timeout);

private:
    std::mutex Fmutex;
    std::condition_variable Fchanged;
    const bool Fmanual_reset;
    bool Fsignaled;
};

} // namespace zel
