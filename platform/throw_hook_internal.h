#pragma once

// Between the __cxa_throw replacement and the hook; nothing else uses this.

#include <cstdint>
#include <typeinfo>

namespace zel::platform {

using cxa_throw_function = void (*)(void*, std::type_info*, void (*)(void*));

// The C++ runtime's own __cxa_throw.
cxa_throw_function runtime_throw();

// Hands one throw to the observer, if any.
void report_throw(void* object, std::type_info* type, std::uintptr_t address) noexcept;

} // namespace zel::platform
