#pragma once

#include <atomic>
#include <cstdint>

namespace zel {

// A lock for steps of a few instructions (copying a text, placing an entry in a list). A thread
// that finds it taken spins briefly, then sleeps until it is released, so a holder that loses its
// processor costs the waiters no busy time; releasing it wakes a sleeper only when there is one.
// It is not re-entrant: nothing that could take it again runs while it is held.
class TShortLock {
public:
    void lock() noexcept {
        std::uint32_t state = unlocked;
        if (Fstate.compare_exchange_strong(state, locked, std::memory_order_acquire))
            return;
        for (int spin = 0; spin < 100; ++spin) {
            relax();
            state = unlocked;
            if (Fstate.load(std::memory_order_relaxed) == unlocked &&
                Fstate.compare_exchange_weak(state, locked, std::memory_order_acquire))
                return;
        }
        // From here on the lock is marked as having sleepers, so that unlock wakes one.
        while (Fstate.exchange(contended, std::memory_order_acquire) != unlocked)
            Fstate.wait(contended, std::memory_order_relaxed);
    }

    bool try_lock() noexcept {
        std::uint32_t state = unlocked;
        return Fstate.compare_exchange_strong(state, locked, std::memory_order_acquire);
    }

    void unlock() noexcept {
        if (Fstate.exchange(unlocked, std::memory_order_release) == contended)
            Fstate.notify_one();
    }

private:
    static constexpr std::uint32_t unlocked = 0;
    static constexpr std::uint32_t locked = 1;
    static constexpr std::uint32_t contended = 2;

    static void relax() noexcept {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }

    std::atomic<std::uint32_t> Fstate{unlocked};
};

// A short lock that the thread holding it may take again (each lock needs its unlock). It is
// the lock of an event, whose add calls back into the event while it holds it.
class TReentrantLock {
public:
    void lock() noexcept {
        const std::uintptr_t me = this_thread();
        if (Fowner.load(std::memory_order_relaxed) == me) {
            ++Fdepth;
            return;
        }
        Flock.lock();
        Fowner.store(me, std::memory_order_relaxed);
        Fdepth = 1;
    }

    void unlock() noexcept {
        if (--Fdepth != 0)
            return;
        Fowner.store(0, std::memory_order_relaxed);
        Flock.unlock();
    }

private:
    // A thread's identity for the lock: the address of a variable of its own.
    static std::uintptr_t this_thread() noexcept {
        thread_local const char marker = 0;
        return reinterpret_cast<std::uintptr_t>(&marker);
    }

    TShortLock Flock;
    std::uint32_t Fdepth = 0; // touched by the holder only
    std::atomic<std::uintptr_t> Fowner{0};
};

} // namespace zel
