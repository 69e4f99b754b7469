#pragma once

#include <array>
#include <cstdint>

namespace zel::platform {

// One exception as the capture hands it over: a code in the Windows numbering (so logs read the
// same on every platform), where it happened and up to fifteen parameters. Parameters are
// pointer-sized so that a 64-bit fault address survives.
struct exception_record {
    static constexpr std::uint32_t max_parameters = 15;

    std::uint32_t code = 0;
    std::uint32_t flags = 0;
    const exception_record* nested = nullptr;
    std::uintptr_t address = 0;
    std::uint32_t nb_parameters = 0;
    std::array<std::uintptr_t, max_parameters> parameters{};
};

// The record and the interrupted machine context (ucontext_t for a signal; null for a C++ throw).
struct exception_pointers {
    exception_record* record = nullptr;
    const void* context = nullptr;
};

} // namespace zel::platform
