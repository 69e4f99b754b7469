#pragma once

#include <cstdint>
#include <string>
#include <typeinfo>

namespace zel::platform {

// A C++ exception at the moment it is thrown, before any handler runs.
struct thrown_exception {
    const void* object = nullptr;
    const std::type_info* type = nullptr;
    std::uintptr_t throw_address = 0; // where the throw expression is
};

// Called on the throwing thread for every C++ exception of the process. Exceptions thrown
// while the observer runs on that thread are not reported again.
using throw_observer = void (*)(const thrown_exception& exception) noexcept;

// Sets (or, with null, removes) the observer.
void set_throw_observer(throw_observer observer);

// what() of a std::exception, the text of a thrown string; empty for anything else.
std::string exception_message(const thrown_exception& exception);

} // namespace zel::platform
