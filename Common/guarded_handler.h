#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace zel {

// A notification handler that any thread may call and that can be replaced while calls run.
// Replacing it waits until every call of the old handler in progress on another thread has
// returned, so that once `set` returns the old handler is never entered again and whatever it
// refers to may go; calls of the new handler that start meanwhile are not waited for. The
// handler itself runs without any lock held; a call that replaces the handler from inside the
// handler does not wait for itself, and two threads that replace it from inside their own calls
// do not wait for each other.
template <class Handler>
class TGuardedHandler {
public:
    // Calls the handler, when one is set, with `args`.
    template <class... Args>
    void call(Args&&... args) {
        if (!Fassigned.load(std::memory_order_acquire))
            return;
        std::shared_ptr<const Handler> handler;
        const std::thread::id self = std::this_thread::get_id();
        {
            std::scoped_lock guard(Fmutex);
            if (!Fhandler)
                return;
            handler = Fhandler;
            Fcallers.push_back({self, Fgeneration});
        }
        const TLeave leave{*this, self};
        (*handler)(std::forward<Args>(args)...);
    }

    // Replaces the handler (an empty one detaches it) and waits for the calls of the old one on
    // other threads to end.
    void set(Handler value) {
        auto handler = value ? std::make_shared<const Handler>(std::move(value)) : nullptr;
        const std::thread::id self = std::this_thread::get_id();
        std::unique_lock guard(Fmutex);
        Fassigned.store(handler != nullptr, std::memory_order_release);
        Fhandler.swap(handler);
        const std::uint64_t generation = ++Fgeneration;
        Fwaiting.push_back(self);
        Fchanged.notify_all(); // a replacer waiting on this thread's call no longer needs to
        Fchanged.wait(guard, [&] {
            return std::all_of(Fcallers.begin(), Fcallers.end(), [&](const TCall& caller) {
                return caller.generation >= generation || caller.thread == self ||
                       std::find(Fwaiting.begin(), Fwaiting.end(), caller.thread) != Fwaiting.end();
            });
        });
        Fwaiting.erase(std::find(Fwaiting.begin(), Fwaiting.end(), self));
        guard.unlock();
        handler.reset(); // the old handler is released outside the lock
    }

    // A copy of the current handler (empty when none is set).
    Handler get() const {
        std::scoped_lock guard(Fmutex);
        return Fhandler ? *Fhandler : Handler();
    }

private:
    struct TCall {
        std::thread::id thread;
        std::uint64_t generation; // of the handler it runs
    };

    struct TLeave {
        TGuardedHandler& owner;
        std::thread::id self;
        TLeave(TGuardedHandler& an_owner, std::thread::id a_self)
            : owner(an_owner)
            , self(a_self) {}
        TLeave(const TLeave&) = delete;
        TLeave& operator=(const TLeave&) = delete;
        ~TLeave() {
            std::scoped_lock guard(owner.Fmutex);
            // The newest call of this thread is the one ending: calls nested on one thread end
            // in reverse order, and an outer call may run an older handler than the inner one.
            const auto ending =
                std::find_if(owner.Fcallers.rbegin(), owner.Fcallers.rend(),
                             [&](const TCall& call) { return call.thread == self; });
            owner.Fcallers.erase(std::next(ending).base());
            if (!owner.Fwaiting.empty())
                owner.Fchanged.notify_all();
        }
    };

    mutable std::mutex Fmutex;
    std::condition_variable Fchanged;
    std::shared_ptr<const Handler> Fhandler;
    std::atomic<bool> Fassigned{false};
    std::uint64_t Fgeneration = 0;         // how many times the handler was set
    std::vector<TCall> Fcallers;           // one entry per call in progress
    std::vector<std::thread::id> Fwaiting; // threads inside set
};

} // namespace zel
