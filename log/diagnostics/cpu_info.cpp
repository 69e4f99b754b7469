#include "log/diagnostics/cpu_info.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>

namespace zel {

namespace {

using platform::cpuid_registers;
using platform::cpuid_snapshot;

constexpr std::uint32_t extended_base = 0x80000000U;

constexpr bool bit(std::uint32_t value, unsigned index) {
    return ((value >> index) & 1U) != 0;
}

constexpr std::uint8_t bits(std::uint32_t value, unsigned low, unsigned count) {
    return static_cast<std::uint8_t>((value >> low) & ((1U << count) - 1U));
}

struct vendor_name {
    std::string_view text;
    cpu_vendor vendor;
};

constexpr std::array vendor_names{
    vendor_name{"GenuineIntel", cpu_vendor::intel},
    vendor_name{"CyrixInstead", cpu_vendor::cyrix},
    vendor_name{"AuthenticAMD", cpu_vendor::amd},
    vendor_name{"GenuineTMx86", cpu_vendor::transmeta},
    vendor_name{"CentaurHauls", cpu_vendor::centaur},
};

cpu_vendor vendor_of(const cpuid_registers& leaf0) {
    char text[12];
    std::memcpy(text, &leaf0.ebx, 4);
    std::memcpy(text + 4, &leaf0.edx, 4);
    std::memcpy(text + 8, &leaf0.ecx, 4);
    const std::string_view name(text, sizeof text);
    for (const vendor_name& known : vendor_names) {
        if (known.text == name)
            return known.vendor;
    }
    return cpu_vendor::unknown;
}

// The 48 characters of leaves 0x80000002-0x80000004 up to the first NUL; empty without them.
std::string brand_string(const cpuid_snapshot& snapshot, std::uint32_t highest_extended) {
    if (highest_extended < extended_base + 4)
        return {};
    std::string brand;
    for (std::uint32_t leaf = extended_base + 2; leaf <= extended_base + 4; ++leaf) {
        const cpuid_registers r = snapshot.leaf(leaf);
        for (const std::uint32_t word : {r.eax, r.ebx, r.ecx, r.edx}) {
            char chars[4];
            std::memcpy(chars, &word, 4);
            brand.append(chars, 4);
        }
    }
    return brand.substr(0, brand.find('\0'));
}

// Names for processors without a brand string, by family and model.
struct model_name {
    std::uint8_t family;
    std::uint8_t model;
    const char* name;
};

constexpr model_name intel_models[] = {
    {4, 0, "Intel 486 DX"},       {4, 1, "Intel 486 DX"},
    {4, 2, "Intel 486 SX"},       {4, 3, "Intel 486 DX2"},
    {4, 4, "Intel 486 SL"},       {4, 5, "Intel 486 SX2"},
    {4, 7, "Intel 486 DX2 WB"},   {4, 8, "Intel 486 DX4"},
    {4, 9, "Intel 486 DX4 WB"},   {5, 1, "Intel Pentium"},
    {5, 2, "Intel Pentium"},      {5, 4, "Intel Pentium MMX"},
    {5, 7, "Intel Pentium"},      {5, 8, "Intel Pentium MMX"},
    {6, 1, "Intel Pentium Pro"},  {6, 3, "Intel Pentium II"},
    {6, 5, "Intel Pentium II"},   {6, 6, "Intel Celeron"},
    {6, 7, "Intel Pentium III"},  {6, 8, "Intel Pentium III"},
    {6, 9, "Intel Pentium M"},    {6, 10, "Intel Pentium III Xeon"},
    {6, 11, "Intel Pentium III"}, {6, 13, "Intel Pentium M"},
    {6, 14, "Intel Core"},        {6, 15, "Intel Core 2"},
};

constexpr model_name amd_models[] = {
    {4, 3, "AMD 486 DX2"},    {4, 7, "AMD 486 DX2 WB"}, {4, 8, "AMD 486 DX4"},
    {4, 9, "AMD 486 DX4 WB"}, {4, 14, "AMD 5x86"},      {4, 15, "AMD 5x86 WB"},
    {5, 0, "AMD K5"},         {5, 1, "AMD K5"},         {5, 2, "AMD K5"},
    {5, 3, "AMD K5"},         {5, 6, "AMD K6"},         {5, 7, "AMD K6"},
    {5, 8, "AMD K6-2"},       {5, 9, "AMD K6-III"},     {5, 13, "AMD K6-2+"},
    {6, 1, "AMD Athlon"},     {6, 2, "AMD Athlon"},     {6, 3, "AMD Duron"},
    {6, 4, "AMD Athlon"},     {6, 6, "AMD Athlon XP"},  {6, 7, "AMD Duron"},
    {6, 8, "AMD Athlon XP"},  {6, 10, "AMD Athlon XP"},
};

constexpr model_name centaur_models[] = {
    {5, 4, "Centaur WinChip C6"},
    {5, 8, "Centaur WinChip 2"},
    {5, 9, "Centaur WinChip 3"},
    {6, 6, "VIA Cyrix III"},
    {6, 7, "VIA C3"},
    {6, 8, "VIA C3"},
    {6, 9, "VIA C3"},
    {6, 10, "VIA C7"},
};

template <std::size_t N>
std::optional<std::string> table_name(const model_name (&table)[N], const cpu_record& cpu) {
    for (const model_name& row : table) {
        if (row.family == cpu.family && row.model == cpu.model)
            return row.name;
    }
    return std::nullopt;
}

std::string name_from_tables(const cpu_record& cpu) {
    const std::string family = std::to_string(cpu.family);
    switch (cpu.vendor) {
    case cpu_vendor::intel:
        if (auto name = table_name(intel_models, cpu))
            return *name;
        if (cpu.family == 15)
            return "Intel Pentium 4";
        if (cpu.family == 6)
            return "Intel P6 (Model " + std::to_string(cpu.model) + ")";
        return "Intel P" + family;
    case cpu_vendor::amd:
        if (auto name = table_name(amd_models, cpu))
            return *name;
        if (cpu.family == 15)
            return "AMD Athlon 64";
        return "AMD family " + std::to_string(cpu.family + cpu.ext_family);
    case cpu_vendor::cyrix:
        // Cyrix counted its generations one above the CPUID family: 5x86, 6x86, 6x86MX.
        if (cpu.family == 6)
            return "Cyrix 6x86MX";
        return "Cyrix " + std::to_string(cpu.family + 1) + "x86";
    case cpu_vendor::centaur:
        if (auto name = table_name(centaur_models, cpu))
            return *name;
        return "Centaur family " + family;
    case cpu_vendor::transmeta:
        if (cpu.family == 5)
            return "Transmeta Crusoe";
        if (cpu.family == 15)
            return "Transmeta Efficeon";
        return "Transmeta family " + family;
    case cpu_vendor::unknown:
        break;
    }
    return "Unknown";
}

// AVX needs the operating system to save the YMM state: XCR0 bits 1 (SSE) and 2 (AVX).
bool os_saves_avx_state(const cpuid_snapshot& snapshot, const cpuid_registers& leaf1) {
    constexpr std::uint64_t sse_and_avx_state = 0x6;
    return bit(leaf1.ecx, 27) && (snapshot.xcr0 & sse_and_avx_state) == sse_and_avx_state;
}

// AVX, AVX2 and the bit-manipulation sets, read the same way for Intel and AMD. AVX2 uses the
// same YMM registers, so it counts only where AVX does.
void read_avx_and_bmi(cpu_record& cpu, const cpuid_snapshot& snapshot, const cpuid_registers& leaf1,
                      std::uint32_t highest) {
    if (bit(leaf1.ecx, 28) && os_saves_avx_state(snapshot, leaf1))
        cpu.add(sse_feature::avx);
    if (highest > 6) {
        const cpuid_registers leaf7 = snapshot.leaf(7);
        if (bit(leaf7.ebx, 5) && cpu.has(sse_feature::avx))
            cpu.add(sse_feature::avx2);
        if (bit(leaf7.ebx, 3)) {
            cpu.add(sse_feature::bmi1);
            if (bit(leaf7.ebx, 8))
                cpu.add(sse_feature::bmi2);
        }
    }
}

// Adds each feature whose flag is set.
void add_present(cpu_record& cpu, std::initializer_list<std::pair<bool, sse_feature>> flags) {
    for (const auto& [present, feature] : flags) {
        if (present)
            cpu.add(feature);
    }
}

void read_intel(cpu_record& cpu, const cpuid_snapshot& snapshot, std::uint32_t highest) {
    const cpuid_registers leaf1 = snapshot.leaf(1);
    if (highest > 3)
        cpu.cores_per_package = static_cast<std::uint8_t>(bits(snapshot.leaf(4).eax, 26, 6) + 1);
    cpu.aes = bit(leaf1.ecx, 25);
    cpu.mmx = bit(leaf1.edx, 23);
    cpu.fma3 = bit(leaf1.ecx, 12);
    add_present(cpu, {{bit(leaf1.edx, 25), sse_feature::sse},
                      {bit(leaf1.edx, 26), sse_feature::sse2},
                      {bit(leaf1.ecx, 0), sse_feature::sse3},
                      {bit(leaf1.ecx, 9), sse_feature::ssse3},
                      {bit(leaf1.ecx, 19), sse_feature::sse41},
                      {bit(leaf1.ecx, 20), sse_feature::sse42}});
    read_avx_and_bmi(cpu, snapshot, leaf1, highest);
}

void read_amd(cpu_record& cpu, const cpuid_snapshot& snapshot, std::uint32_t highest,
              std::uint32_t highest_extended) {
    const cpuid_registers leaf1 = snapshot.leaf(1);
    if (highest_extended >= extended_base + 8)
        cpu.cores_per_package =
            static_cast<std::uint8_t>(bits(snapshot.leaf(extended_base + 8).ecx, 0, 8) + 1);
    cpu.aes = bit(leaf1.ecx, 25);
    cpu.mmx = bit(leaf1.edx, 23);
    add_present(cpu, {{bit(leaf1.edx, 25), sse_feature::sse},
                      {bit(leaf1.edx, 26), sse_feature::sse2},
                      {bit(leaf1.ecx, 0), sse_feature::sse3}});
    if (highest_extended < extended_base + 1)
        return;
    const cpuid_registers extended = snapshot.leaf(extended_base + 1);
    cpu.ex_mmx = bit(extended.edx, 22);
    cpu.now3d = bit(extended.edx, 31);
    cpu.ex_now3d = bit(extended.edx, 30);
    cpu.fma4 = bit(extended.ecx, 16);
    cpu.xop = bit(extended.ecx, 11);
    cpu.tbm = bit(extended.ecx, 21);
    add_present(cpu, {{bit(extended.ecx, 6), sse_feature::sse4A},
                      {bit(leaf1.ecx, 19), sse_feature::sse41},
                      {bit(leaf1.ecx, 20), sse_feature::sse42}});
    read_avx_and_bmi(cpu, snapshot, leaf1, highest);
}

// AMD processors run 128-bit SSE2 at full speed from the K10 on (they have SSE4A), except the
// family 14h low-power cores; before SSE4A (K8) SSE2 ran at half width.
bool amd_fast_sse(const cpu_record& cpu) {
    if (cpu.has(sse_feature::sse4A))
        return cpu.family + cpu.ext_family != 20;
    return cpu.has(sse_feature::ssse3);
}

bool sse2_slow(const cpu_record& cpu) {
    if (cpu.has(sse_feature::sse4A) && cpu.family + cpu.ext_family == 20)
        return true;
    if (cpu.vendor == cpu_vendor::amd && cpu.has(sse_feature::sse2) && !amd_fast_sse(cpu))
        return true;
    // Pentium M and Core Solo/Duo (display models 9, 13 and 14 of family 6, before the
    // extended model numbers came into use) split 128-bit operations in two.
    return cpu.vendor == cpu_vendor::intel && cpu.family == 6 && cpu.ext_model == 0 &&
           (cpu.model == 9 || cpu.model == 13 || cpu.model == 14);
}

bool ssse3_slow(const cpu_record& cpu) {
    return (cpu.has(sse_feature::ssse3) || cpu.has(sse_feature::sse4A)) &&
           !cpu.has(sse_feature::sse42);
}

} // namespace

cpu_record detect_cpu(const cpuid_snapshot& snapshot) {
    cpu_record cpu;
    if (!snapshot.available) {
        cpu.family = 4;
        cpu.brand = "Unknown";
        return cpu;
    }
    cpu.cpuid_available = true;
    const cpuid_registers leaf0 = snapshot.leaf(0);
    const std::uint32_t highest = leaf0.eax;
    const std::uint32_t highest_extended = snapshot.leaf(extended_base).eax;
    cpu.vendor = vendor_of(leaf0);

    if (highest >= 1) {
        const cpuid_registers leaf1 = snapshot.leaf(1);
        cpu.stepping = bits(leaf1.eax, 0, 4);
        cpu.model = bits(leaf1.eax, 4, 4);
        cpu.family = bits(leaf1.eax, 8, 4);
        cpu.cpu_type = bits(leaf1.eax, 12, 2);
        cpu.ext_model = bits(leaf1.eax, 16, 4);
        cpu.ext_family = bits(leaf1.eax, 20, 8);
        const bool hyper_threading = bit(leaf1.edx, 28);
        if ((cpu.vendor == cpu_vendor::intel || cpu.vendor == cpu_vendor::amd) && hyper_threading) {
            const std::uint8_t logical = bits(leaf1.ebx, 16, 8);
            cpu.logical_per_package = logical == 0 ? 1 : logical;
        }
    }

    switch (cpu.vendor) {
    case cpu_vendor::intel:
        read_intel(cpu, snapshot, highest);
        break;
    case cpu_vendor::amd:
        read_amd(cpu, snapshot, highest, highest_extended);
        break;
    case cpu_vendor::cyrix:
    case cpu_vendor::centaur:
    case cpu_vendor::transmeta:
        cpu.mmx = bit(snapshot.leaf(1).edx, 23);
        break;
    case cpu_vendor::unknown:
        break;
    }

    if (cpu.vendor == cpu_vendor::unknown) {
        cpu.brand = "Unknown";
    } else {
        cpu.brand = brand_string(snapshot, highest_extended);
        if (cpu.brand.find_first_not_of(' ') == std::string::npos)
            cpu.brand = name_from_tables(cpu);
    }
    return cpu;
}

std::string cpu_feature_list(const cpu_record& cpu) {
    const std::pair<bool, const char*> items[] = {
        {cpu.mmx, "MMX,"},
        {cpu.ex_mmx, "ExMMX,"},
        {cpu.now3d, "3DNow!,"},
        {cpu.ex_now3d, "Ex3DNow,"},
        {cpu.has(sse_feature::sse), "sse,"},
        {cpu.has(sse_feature::sse2), sse2_slow(cpu) ? "sse2 (slow)," : "sse2,"},
        {cpu.has(sse_feature::sse3), "sse3,"},
        {cpu.has(sse_feature::ssse3), ssse3_slow(cpu) ? "ssse3 (slow)," : "ssse3,"},
        {cpu.has(sse_feature::sse41), "sse41,"},
        {cpu.has(sse_feature::sse42), "sse42,"},
        {cpu.has(sse_feature::sse4A), "sse4A,"},
        {cpu.has(sse_feature::sse5), "sse5,"},
        {cpu.has(sse_feature::avx), "avx,"},
        {cpu.has(sse_feature::avx2), "avx2,"},
        {cpu.has(sse_feature::bmi1), "bmi1,"},
        {cpu.has(sse_feature::bmi2), "bmi2,"},
        {cpu.aes, "aes,"},
        {cpu.tbm, "tbm,"},
        {cpu.xop, "xop,"},
        {cpu.fma3, "Fma3,"},
        {cpu.fma4, "Fma4,"},
    };
    std::string list;
    for (const auto& [present, text] : items) {
        if (present)
            list += text;
    }
    if (!list.empty())
        list.pop_back();
    return list;
}

const cpu_record& cpu_info() {
    static const cpu_record record = detect_cpu(platform::read_cpuid());
    return record;
}

} // namespace zel
