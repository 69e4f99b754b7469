// The replacement of the C++ runtime's throw entry point. It lives alone in this file: the
// compiler declares __cxa_throw implicitly, with another signature, in any file that contains
// a throw expression.
#include "platform/throw_hook_internal.h"

#include <cxxabi.h>

// Every throw expression of the process calls this: the dynamic linker prefers the
// executable's definition to the C++ runtime's, which is called afterwards.
extern "C" void __cxa_throw(void* object, std::type_info* type, void (*destructor)(void*)) {
    zel::platform::report_throw(object, type,
                                reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
    zel::platform::runtime_throw()(object, type, destructor);
    __builtin_unreachable();
}
