#pragma once

// Between the replacement of __cxa_throw and the hook's interface; nothing else uses this.

#include <cstdint>
#include <typeinfo>

namespace zel::platform {

struct thrown_exception;
using throw_observer = void (*)(const thrown_exception& exception) noexcept;
using cxa_throw_function = void (*)(void*, std::type_info*, void (*)(void*));

// The C++ runtime's own __cxa_throw.
cxa_throw_function runtime_throw();

// Kept beside the replacement, so that any program that sets an observer links the replacement
// too (a sanitizer runtime defines a weak __cxa_throw of its own, which would otherwise do).
void store_throw_observer(throw_observer observer) noexcept;

} // namespace zel::platform
