#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace zel::platform {

struct cpuid_registers {
    std::uint32_t eax = 0;
    std::uint32_t ebx = 0;
    std::uint32_t ecx = 0;
    std::uint32_t edx = 0;
};

// The processor identification leaves, read once; processor detection is a pure function of
// this, so tests describe any processor by building one by hand.
struct cpuid_snapshot {
    bool available = false; // the processor has the CPUID instruction
    // Standard leaves 0, 1, 4, 7 and extended leaves 0x80000000... that exist, sub-leaf 0.
    std::vector<std::pair<std::uint32_t, cpuid_registers>> leaves;
    // Extended control register 0 (XCR0); 0 unless the OS enabled XSAVE (leaf 1 ECX bit 27).
    std::uint64_t xcr0 = 0;

    // Registers of `leaf`, all zero when it was not read.
    [[nodiscard]] cpuid_registers leaf(std::uint32_t number) const;
};

// Reads the leaves of this processor; `available` is false where there is no CPUID.
cpuid_snapshot read_cpuid();

} // namespace zel::platform
