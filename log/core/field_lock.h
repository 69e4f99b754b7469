#pragma once

#include <atomic>

namespace zel {

// The innermost lock of a log object: it guards the fields that getters copy (texts, context,
// value, parent, handlers) for the few instructions of a copy or an assignment, and nothing is
// ever called while it is held. One byte, so that every event can have one; a thread that finds
// it taken waits on the flag (no spinning through a whole time slice).
class TFieldLock {
public:
    void lock() noexcept {
        while (Fflag.test_and_set(std::memory_order_acquire))
            Fflag.wait(true, std::memory_order_relaxed);
    }

    void unlock() noexcept {
        Fflag.clear(std::memory_order_release);
        Fflag.notify_one();
    }

private:
    std::atomic_flag Fflag;
};

} // namespace zel
