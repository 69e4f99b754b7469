#include "log/diagnostics/exception_capture.h"

#include "log/diagnostics/exception_names.h"
#include "platform/alternate_signal_stack.h"
#include "platform/fatal_signals.h"
#include "platform/process_info.h"
#include "platform/throw_hook.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace zel {

namespace {

// The registered roots. The lock is held only to read or change the list, never while a root
// logs, so exception capture adds nothing to the lock order of the log objects.
std::mutex roots_mutex;
std::vector<ILogRootPtr> exception_roots;
// Serialises registering and unregistering. Installing and removing the capture happen under
// it but outside roots_mutex: removing waits for the reporter thread, which may be routing.
std::mutex capture_mutex;
bool capture_installed = false;
// Set while this thread holds roots_mutex: an exception raised meanwhile (an allocation that
// fails) is not routed, rather than deadlock on the thread's own lock.
thread_local bool holding_roots = false;

class roots_guard {
public:
    roots_guard()
        : Flock(roots_mutex) {
        holding_roots = true;
    }
    ~roots_guard() { holding_roots = false; }
    roots_guard(const roots_guard&) = delete;
    roots_guard& operator=(const roots_guard&) = delete;

private:
    std::lock_guard<std::mutex> Flock;
};

// The last registered root (down to the second) created by `thread`, else the first one.
ILogRootPtr route(TThreadID thread) {
    if (holding_roots)
        return nullptr;
    const roots_guard guard;
    if (exception_roots.empty())
        return nullptr;
    for (std::size_t i = exception_roots.size() - 1; i >= 1; --i) {
        if (exception_roots[i]->thread_id() == thread)
            return exception_roots[i];
    }
    return exception_roots.front();
}

void deliver(TThreadID thread, const TExceptionRecord& record) {
    if (const ILogRootPtr root = route(thread)) {
        const TExceptionPointers pointers{&record, nullptr};
        root->add_exception(&pointers);
    }
}

// A C++ exception, on the throwing thread.
void on_throw(const platform::thrown_exception& thrown) noexcept {
    TExceptionRecord record;
    record.ExceptionCode = runtime_exception_code;
    record.ExceptionAddress = reinterpret_cast<const void*>(thrown.throw_address);
    record.NumberParameters = 3;
    record.ExceptionInformation[0] = thrown.throw_address;
    record.ExceptionInformation[1] = reinterpret_cast<std::uintptr_t>(thrown.object);
    record.ExceptionInformation[2] = reinterpret_cast<std::uintptr_t>(thrown.type);
    try {
        deliver(platform::current_thread_id(), record);
    } catch (...) {
        // Logging failed (out of memory): the exception itself goes on unchanged.
    }
}

// A fatal signal, on the capture's reporter thread acting as the faulting thread.
void on_fatal_signal(const platform::exception_pointers& exception,
                     std::uint32_t faulting_thread) noexcept {
    const platform::exception_record& raised = *exception.record;
    TExceptionRecord record;
    record.ExceptionCode = raised.code;
    record.ExceptionFlags = raised.flags;
    record.ExceptionAddress = reinterpret_cast<const void*>(raised.address);
    record.NumberParameters = std::min(raised.nb_parameters, raised.max_parameters);
    std::copy_n(raised.parameters.begin(), record.NumberParameters,
                record.ExceptionInformation.begin());
    try {
        deliver(faulting_thread, record);
    } catch (...) {
        // The process is going down anyway.
    }
}

bool install_capture() {
    if (capture_installed)
        return true;
    if (!platform::install_fatal_signal_handlers(&on_fatal_signal))
        return false;
    platform::set_throw_observer(&on_throw);
    capture_installed = true;
    return true;
}

void remove_capture() {
    if (!capture_installed)
        return;
    platform::set_throw_observer(nullptr);
    platform::remove_fatal_signal_handlers();
    capture_installed = false;
}

} // namespace

bool register_exception_root(const ILogRootPtr& root) {
    if (!root)
        return false;
    platform::ensure_alternate_signal_stack();
    const std::lock_guard serial(capture_mutex);
    if (!install_capture())
        return false;
    const roots_guard guard;
    if (std::find(exception_roots.begin(), exception_roots.end(), root) == exception_roots.end())
        exception_roots.push_back(root);
    return true;
}

bool unregister_exception_root(const ILogRootPtr& root) {
    std::vector<ILogRootPtr> released; // let go of the roots after the locks
    bool result = true;
    const std::lock_guard serial(capture_mutex);
    bool now_empty = false;
    {
        const roots_guard guard;
        if (!root) {
            released.swap(exception_roots);
        } else {
            const auto found = std::find(exception_roots.begin(), exception_roots.end(), root);
            if (found == exception_roots.end()) {
                result = false;
            } else {
                released.push_back(*found);
                exception_roots.erase(found);
            }
        }
        now_empty = exception_roots.empty();
    }
    if (now_empty)
        remove_capture();
    return result;
}

} // namespace zel
