#pragma once

#include "Common/critical_section.h"
#include "Common/event.h"
#include "Common/wait.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>

namespace zel {

// A condition variable used together with a critical section. sleep may also return without a
// wake (a time-out that raced a wake, or a spurious wake-up), so callers re-test their own
// condition in a loop after every sleep.
class ICondVar {
public:
    virtual ~ICondVar() = default;

    // Wakes one sleeper, if any.
    virtual void wake() = 0;
    // Wakes every thread sleeping at the time of the call.
    virtual void wake_all() = 0;
    // Releases extern_cs (held once by the caller), waits to be woken or for timeout
    // milliseconds, and takes extern_cs again. True when woken, false on time-out.
    virtual bool sleep(TCriticalSection& extern_cs, std::uint32_t timeout) = 0;
};

// The platform's own condition variable.
class TPostWin6CondVar final : public ICondVar {
public:
    void wake() override;
    void wake_all() override;
    bool sleep(TCriticalSection& extern_cs, std::uint32_t timeout) override;

private:
    std::condition_variable_any cv;
};

// A condition variable built from a semaphore, an auto-reset event and a lock. A waker holds
// cs_broadcast until the sleepers it released have answered through waiter_done, so a thread
// that starts to sleep meanwhile cannot take a wake-up meant for the earlier sleepers.
class TPreWin6CondVar final : public ICondVar {
public:
    void wake() override;
    void wake_all() override;
    bool sleep(TCriticalSection& extern_cs, std::uint32_t timeout) override;

private:
    TCriticalSection cs_broadcast;
    std::atomic<std::int32_t> waiter_count{0};
    TSemaphore semaphore{0};
    TEvent waiter_done{TEvent::TResetMode::automatic};
    std::atomic<bool> is_broadcast{false};
};

// Sets cond_var to a new condition variable and returns true. The standard library always
// provides a native one, so that is what it creates.
bool create_cond_var(std::shared_ptr<ICondVar>& cond_var);

} // namespace zel
