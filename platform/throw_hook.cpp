#include "platform/throw_hook.h"

#include "platform/throw_hook_internal.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <exception>

namespace zel::platform {

cxa_throw_function runtime_throw() {
    // A sanitizer runtime that watches throws defines its own __cxa_throw in the executable,
    // which ours replaces: hand the throw to it so that it keeps working.
    static const auto function = [] {
        void* found = ::dlsym(RTLD_DEFAULT, "__interceptor___cxa_throw");
        if (found == nullptr)
            found = ::dlsym(RTLD_NEXT, "__cxa_throw");
        if (found == nullptr) {
            std::fputs("zel: the C++ runtime's __cxa_throw cannot be found\n", stderr);
            std::abort();
        }
        return reinterpret_cast<cxa_throw_function>(found);
    }();
    return function;
}

void set_throw_observer(throw_observer observer) {
    (void)runtime_throw(); // resolve now rather than inside the first throw
    store_throw_observer(observer);
}

std::string exception_message(const thrown_exception& exception) {
    if (exception.object == nullptr || exception.type == nullptr)
        return {};
    const std::type_info& type = *exception.type;
    // The runtime's own catch test: would `catch (const std::exception&)` take this object?
    // It also moves the pointer to the std::exception part of the object.
    void* adjusted = const_cast<void*>(exception.object);
    if (typeid(std::exception).__do_catch(&type, &adjusted, 1))
        return static_cast<const std::exception*>(adjusted)->what();
    if (type == typeid(const char*) || type == typeid(char*)) {
        const char* text = *static_cast<const char* const*>(exception.object);
        return text != nullptr ? text : "";
    }
    if (type == typeid(std::string))
        return *static_cast<const std::string*>(exception.object);
    return {};
}

} // namespace zel::platform
