// The replacement of the C++ runtime's throw entry point. It lives apart from the rest of the
// hook: the compiler declares __cxa_throw implicitly, with another signature, in any file that
// contains a throw expression.
#include "platform/throw_hook.h"
#include "platform/throw_hook_internal.h"

#include <atomic>
#include <cxxabi.h>

namespace zel::platform {

namespace {

std::atomic<throw_observer> current_observer{nullptr};

void report_throw(void* object, std::type_info* type, std::uintptr_t address) noexcept {
    static thread_local bool inside = false;
    const throw_observer observer = current_observer.load();
    if (observer == nullptr || inside)
        return;
    inside = true;
    observer(thrown_exception{object, type, address});
    inside = false;
}

} // namespace

void store_throw_observer(throw_observer observer) noexcept {
    current_observer.store(observer);
}

} // namespace zel::platform

// Every throw expression of the process calls this: the dynamic linker prefers the
// executable's definition to the C++ runtime's, which is called afterwards.
extern "C" void __cxa_throw(void* object, std::type_info* type, void (*destructor)(void*)) {
    zel::platform::report_throw(object, type,
                                reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
    zel::platform::runtime_throw()(object, type, destructor);
    __builtin_unreachable();
}
