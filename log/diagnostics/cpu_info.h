#pragma once

#include "platform/cpuid.h"

#include <cstdint>
#include <string>

namespace zel {

enum class cpu_vendor : std::uint8_t { unknown, intel, cyrix, amd, transmeta, centaur };

// Bit numbers of `cpu_record::sse_set`.
enum class sse_feature : std::uint8_t {
    sse,
    sse2,
    sse3,
    ssse3,
    sse41,
    sse42,
    sse4A,
    sse5,
    avx,
    avx2,
    bmi1,
    bmi2,
};

// The processor as CPUID describes it.
struct cpu_record {
    bool cpuid_available = false;
    cpu_vendor vendor = cpu_vendor::unknown;
    std::uint8_t family = 0;     // leaf 1 EAX bits 8-11
    std::uint8_t ext_family = 0; // bits 20-27
    std::uint8_t model = 0;      // bits 4-7
    std::uint8_t ext_model = 0;  // bits 16-19
    std::uint8_t stepping = 0;   // bits 0-3
    std::uint8_t cpu_type = 0;   // bits 12-13
    std::string brand;           // up to 48 characters; "Unknown" for an unknown vendor
    std::uint8_t logical_per_package = 1;
    std::uint8_t cores_per_package = 1;
    bool aes = false;
    bool mmx = false;
    bool ex_mmx = false;
    bool now3d = false;
    bool ex_now3d = false;
    bool tbm = false;
    bool xop = false;
    bool fma3 = false;
    bool fma4 = false;
    std::uint16_t sse_set = 0;

    [[nodiscard]] bool has(sse_feature feature) const {
        return (sse_set & (1U << static_cast<unsigned>(feature))) != 0;
    }
    void add(sse_feature feature) { sse_set |= 1U << static_cast<unsigned>(feature); }
};

// Decodes the CPUID leaves of one processor.
cpu_record detect_cpu(const platform::cpuid_snapshot& snapshot);

// The instruction-set extensions of `cpu`, comma-separated in a fixed order, "sse2 (slow)" and
// "ssse3 (slow)" where they are known to be slow; empty when there is none.
std::string cpu_feature_list(const cpu_record& cpu);

// This machine's processor, detected once at the first call (the diagnostics start-up makes
// that call) and only read afterwards.
const cpu_record& cpu_info();

} // namespace zel
