#include "Common/cond_var.h"

#include <chrono>
#include <mutex>

namespace zel {

void TPostWin6CondVar::wake() {
    cv.notify_one();
}

void TPostWin6CondVar::wake_all() {
    cv.notify_all();
}

bool TPostWin6CondVar::sleep(TCriticalSection& extern_cs, std::uint32_t timeout) {
    if (timeout == infinite_timeout) {
        cv.wait(extern_cs);
        return true;
    }
    return cv.wait_for(extern_cs, std::chrono::milliseconds(timeout)) == std::cv_status::no_timeout;
}

void TPreWin6CondVar::wake() {
    std::scoped_lock guard(cs_broadcast);
    if (waiter_count.load() > 0) {
        semaphore.release();
        waiter_done.WaitFor(infinite_timeout);
    }
}

void TPreWin6CondVar::wake_all() {
    std::scoped_lock guard(cs_broadcast);
    const std::int32_t n = waiter_count.load();
    if (n > 0) {
        is_broadcast.store(true);
        semaphore.release(n);
        // During a broadcast only the last sleeper to leave signals back.
        waiter_done.WaitFor(infinite_timeout);
        is_broadcast.store(false);
    }
}

bool TPreWin6CondVar::sleep(TCriticalSection& extern_cs, std::uint32_t timeout) {
    {
        std::scoped_lock guard(cs_broadcast);
        waiter_count.fetch_add(1);
    }
    extern_cs.unlock();
    const bool woken = wait_for(semaphore, timeout) == TWaitResult::wrSignaled;
    if (waiter_count.fetch_sub(1) - 1 == 0 || !is_broadcast.load())
        waiter_done.SetEvent();
    extern_cs.lock();
    return woken;
}

bool create_cond_var(std::shared_ptr<ICondVar>& cond_var) {
    cond_var = std::make_shared<TPostWin6CondVar>();
    return true;
}

} // namespace zel
