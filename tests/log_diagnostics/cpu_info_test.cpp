#include "log/diagnostics/cpu_info.h"
#include "tests/support/processor_brand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zel {
namespace {

using platform::cpuid_registers;
using platform::cpuid_snapshot;

constexpr std::uint32_t b(unsigned index) {
    return 1U << index;
}

// Leaf 1 EAX from family, model, stepping and the extended numbers.
constexpr std::uint32_t signature(unsigned family, unsigned model, unsigned ext_family = 0,
                                  unsigned ext_model = 0) {
    return (ext_family << 20) | (ext_model << 16) | (family << 8) | (model << 4) | 1U;
}

// A processor described by the registers that matter; everything else reads as zero.
struct processor {
    const char* vendor = "GenuineIntel";
    std::uint32_t highest = 7;
    std::uint32_t eax1 = signature(6, 10, 0, 3);
    std::uint32_t ebx1 = 0;
    std::uint32_t ecx1 = 0;
    std::uint32_t edx1 = 0;
    std::uint32_t eax4 = 0;
    std::uint32_t ebx7 = 0;
    std::uint32_t highest_extended = 0x80000008;
    std::uint32_t ecx_ext1 = 0;
    std::uint32_t edx_ext1 = 0;
    std::uint32_t ecx_ext8 = 0;
    std::uint64_t xcr0 = 0x7;
    const char* brand = "  Test CPU @ 3.00GHz";

    [[nodiscard]] cpuid_snapshot snapshot() const {
        cpuid_snapshot s;
        s.available = true;
        cpuid_registers leaf0{highest, 0, 0, 0};
        std::memcpy(&leaf0.ebx, vendor, 4);
        std::memcpy(&leaf0.edx, vendor + 4, 4);
        std::memcpy(&leaf0.ecx, vendor + 8, 4);
        s.leaves = {{0, leaf0},
                    {1, {eax1, ebx1, ecx1, edx1}},
                    {4, {eax4, 0, 0, 0}},
                    {7, {0, ebx7, 0, 0}},
                    {0x80000000, {highest_extended, 0, 0, 0}},
                    {0x80000001, {0, 0, ecx_ext1, edx_ext1}},
                    {0x80000008, {0, 0, ecx_ext8, 0}}};
        char text[48] = {};
        std::memcpy(text, brand, std::min(std::strlen(brand), sizeof text));
        for (std::uint32_t i = 0; i < 3; ++i) {
            cpuid_registers r;
            std::memcpy(&r, text + 16 * i, 16);
            s.leaves.emplace_back(0x80000002 + i, r);
        }
        s.xcr0 = (ecx1 & b(27)) != 0 ? xcr0 : 0;
        return s;
    }
};

constexpr std::uint32_t mmx = b(23);
constexpr std::uint32_t sse = b(25);
constexpr std::uint32_t sse2 = b(26);
constexpr std::uint32_t sse3 = b(0);
constexpr std::uint32_t ssse3 = b(9);
constexpr std::uint32_t fma = b(12);
constexpr std::uint32_t sse41 = b(19);
constexpr std::uint32_t sse42 = b(20);
constexpr std::uint32_t aes = b(25);
constexpr std::uint32_t osxsave = b(27);
constexpr std::uint32_t avx = b(28);
constexpr std::uint32_t avx2_7 = b(5);
constexpr std::uint32_t bmi1_7 = b(3);
constexpr std::uint32_t bmi2_7 = b(8);
constexpr std::uint32_t sse4a_ext = b(6);
constexpr std::uint32_t xop_ext = b(11);
constexpr std::uint32_t fma4_ext = b(16);
constexpr std::uint32_t tbm_ext = b(21);
constexpr std::uint32_t mmxext_ext = b(22);
constexpr std::uint32_t now3d_ext = b(31);
constexpr std::uint32_t ex_now3d_ext = b(30);

processor intel(std::uint32_t ecx, std::uint32_t edx, std::uint32_t ebx7 = 0) {
    processor p;
    p.ecx1 = ecx;
    p.edx1 = edx;
    p.ebx7 = ebx7;
    return p;
}

processor amd(unsigned ext_family, std::uint32_t ecx, std::uint32_t edx, std::uint32_t ecx_ext,
              std::uint32_t edx_ext, std::uint32_t ebx7 = 0) {
    processor p;
    p.vendor = "AuthenticAMD";
    p.eax1 = signature(15, 1, ext_family);
    p.ecx1 = ecx;
    p.edx1 = edx;
    p.ecx_ext1 = ecx_ext;
    p.edx_ext1 = edx_ext;
    p.ebx7 = ebx7;
    return p;
}

struct feature_case {
    const char* name;
    processor cpu;
    const char* list;
};

void PrintTo(const feature_case& c, std::ostream* out) {
    *out << c.name;
}

class FeatureList : public testing::TestWithParam<feature_case> {};

TEST_P(FeatureList, ListsTheExtensionsInOrderWithTheSlowMarks) {
    const feature_case& c = GetParam();
    EXPECT_EQ(cpu_feature_list(detect_cpu(c.cpu.snapshot())), c.list);
}

processor without_os_state(processor p) {
    p.ecx1 &= ~osxsave;
    return p;
}

processor with_xcr0(processor p, std::uint64_t xcr0) {
    p.xcr0 = xcr0;
    return p;
}

processor with_signature(processor p, std::uint32_t eax1) {
    p.eax1 = eax1;
    return p;
}

const std::uint32_t modern_intel_ecx = sse3 | ssse3 | sse41 | sse42 | aes | osxsave | avx;

INSTANTIATE_TEST_SUITE_P(
    Processors, FeatureList,
    testing::Values(
        feature_case{"IntelWithExtendedStateSaving", intel(modern_intel_ecx, sse | sse2),
                     "sse,sse2,sse3,ssse3,sse41,sse42,avx,aes"},
        feature_case{"IntelWithoutExtendedStateSaving",
                     without_os_state(intel(modern_intel_ecx, sse | sse2)),
                     "sse,sse2,sse3,ssse3,sse41,sse42,aes"},
        feature_case{"OsSavesSseButNotAvxState",
                     with_xcr0(intel(modern_intel_ecx, sse | sse2), 0x3),
                     "sse,sse2,sse3,ssse3,sse41,sse42,aes"},
        feature_case{"Avx2NeedsTheAvxStateBmiDoesNot",
                     without_os_state(intel(modern_intel_ecx | fma, mmx | sse | sse2,
                                            avx2_7 | bmi1_7 | bmi2_7)),
                     "MMX,sse,sse2,sse3,ssse3,sse41,sse42,bmi1,bmi2,aes,Fma3"},
        feature_case{"IntelHaswell",
                     intel(modern_intel_ecx | fma, mmx | sse | sse2, avx2_7 | bmi1_7 | bmi2_7),
                     "MMX,sse,sse2,sse3,ssse3,sse41,sse42,avx,avx2,bmi1,bmi2,aes,Fma3"},
        feature_case{"Bmi2NeedsBmi1", intel(sse3, sse | sse2, bmi2_7), "sse,sse2,sse3"},
        feature_case{"PentiumMModel13HasSlowSse2",
                     with_signature(intel(0, mmx | sse | sse2), signature(6, 13)),
                     "MMX,sse,sse2 (slow)"},
        feature_case{"CoreModel14HasSlowSse2",
                     with_signature(intel(sse3, mmx | sse | sse2), signature(6, 14)),
                     "MMX,sse,sse2 (slow),sse3"},
        feature_case{"KabyLakeModel0x9EIsNotSlow",
                     with_signature(intel(modern_intel_ecx, sse | sse2), signature(6, 14, 0, 9)),
                     "sse,sse2,sse3,ssse3,sse41,sse42,avx,aes"},
        feature_case{"Core2WithoutSse42HasSlowSsse3",
                     with_signature(intel(sse3 | ssse3, mmx | sse | sse2), signature(6, 15)),
                     "MMX,sse,sse2,sse3,ssse3 (slow)"},
        feature_case{"AmdK8HasSlowSse2",
                     amd(0, sse3, mmx | sse | sse2, 0, mmxext_ext | now3d_ext | ex_now3d_ext),
                     "MMX,ExMMX,3DNow!,Ex3DNow,sse,sse2 (slow),sse3"},
        feature_case{"AmdFamily14hHasSlowSse2AndSlowSsse3Flag",
                     amd(5, sse3 | ssse3, mmx | sse | sse2, sse4a_ext, mmxext_ext),
                     "MMX,ExMMX,sse,sse2 (slow),sse3,sse4A"},
        feature_case{"AmdBulldozer",
                     amd(6, sse3 | ssse3 | sse41 | sse42 | aes | fma | osxsave | avx,
                         mmx | sse | sse2, sse4a_ext | xop_ext | fma4_ext | tbm_ext, mmxext_ext),
                     "MMX,ExMMX,sse,sse2,sse3,sse41,sse42,sse4A,avx,aes,tbm,xop,Fma4"},
        feature_case{"AmdZenIgnoresSsse3AndFma",
                     amd(8, sse3 | ssse3 | sse41 | sse42 | aes | fma | osxsave | avx,
                         mmx | sse | sse2, sse4a_ext, mmxext_ext, avx2_7 | bmi1_7 | bmi2_7),
                     "MMX,ExMMX,sse,sse2,sse3,sse41,sse42,sse4A,avx,avx2,bmi1,bmi2,aes"},
        feature_case{"NoExtensions", intel(0, 0), ""}),
    [](const testing::TestParamInfo<feature_case>& param) { return param.param.name; });

TEST(CpuDetection, FamilyModelAndCoresAreDecoded) {
    processor p = intel(0, b(28)); // hyper-threading capable
    p.eax1 = 0x000906EA;           // family 6, ext model 9, model 14, stepping 10
    p.ebx1 = 12U << 16;
    p.eax4 = 5U << 26;
    const cpu_record cpu = detect_cpu(p.snapshot());
    EXPECT_TRUE(cpu.cpuid_available);
    EXPECT_EQ(cpu.vendor, cpu_vendor::intel);
    EXPECT_EQ(cpu.family, 6);
    EXPECT_EQ(cpu.ext_family, 0);
    EXPECT_EQ(cpu.model, 14);
    EXPECT_EQ(cpu.ext_model, 9);
    EXPECT_EQ(cpu.stepping, 10);
    EXPECT_EQ(cpu.logical_per_package, 12);
    EXPECT_EQ(cpu.cores_per_package, 6);
    EXPECT_EQ(cpu.brand, "  Test CPU @ 3.00GHz");
}

TEST(CpuDetection, CoreAndThreadCountsFollowTheVendorRules) {
    processor no_ht_field = intel(0, b(28));
    no_ht_field.highest = 3; // no leaf 4: one core
    const cpu_record intel_cpu = detect_cpu(no_ht_field.snapshot());
    EXPECT_EQ(intel_cpu.logical_per_package, 1);
    EXPECT_EQ(intel_cpu.cores_per_package, 1);

    processor amd_cpu = amd(8, 0, b(28), 0, 0);
    amd_cpu.ebx1 = 16U << 16;
    amd_cpu.ecx_ext8 = 7;
    const cpu_record zen = detect_cpu(amd_cpu.snapshot());
    EXPECT_EQ(zen.logical_per_package, 16);
    EXPECT_EQ(zen.cores_per_package, 8);

    processor cyrix = intel(0, b(28) | mmx);
    cyrix.vendor = "CyrixInstead";
    cyrix.ebx1 = 4U << 16;
    const cpu_record other = detect_cpu(cyrix.snapshot());
    EXPECT_EQ(other.logical_per_package, 1); // only Intel and AMD report threads this way
    EXPECT_TRUE(other.mmx);
}

TEST(CpuDetection, ProcessorsWithoutABrandStringAreNamedFromTables) {
    const struct {
        const char* vendor;
        std::uint32_t eax1;
        const char* name;
    } cases[] = {
        {"GenuineIntel", signature(6, 8), "Intel Pentium III"},
        {"GenuineIntel", signature(6, 2), "Intel P6 (Model 2)"},
        {"GenuineIntel", signature(5, 3), "Intel P5"},
        {"GenuineIntel", signature(15, 2), "Intel Pentium 4"},
        {"AuthenticAMD", signature(5, 8), "AMD K6-2"},
        {"AuthenticAMD", signature(15, 1, 1), "AMD Athlon 64"},
        {"CyrixInstead", signature(5, 2), "Cyrix 6x86"},
        {"CyrixInstead", signature(4, 9), "Cyrix 5x86"},
        {"CentaurHauls", signature(5, 8), "Centaur WinChip 2"},
        {"GenuineTMx86", signature(5, 4), "Transmeta Crusoe"},
        {"SomeoneElse!", signature(6, 1), "Unknown"},
    };
    for (const auto& c : cases) {
        processor p;
        p.vendor = c.vendor;
        p.eax1 = c.eax1;
        p.highest_extended = 0x80000001; // no brand leaves
        EXPECT_EQ(detect_cpu(p.snapshot()).brand, c.name) << c.vendor << " " << c.eax1;
    }
}

TEST(CpuDetection, UnknownVendorAndNoCpuidGiveUnknown) {
    processor unknown;
    unknown.vendor = "HygonGenuine";
    EXPECT_EQ(detect_cpu(unknown.snapshot()).brand, "Unknown");

    const cpu_record none = detect_cpu(cpuid_snapshot{});
    EXPECT_FALSE(none.cpuid_available);
    EXPECT_EQ(none.family, 4);
    EXPECT_EQ(none.brand, "Unknown");
    EXPECT_EQ(cpu_feature_list(none), "");
}

#if defined(__x86_64__)
TEST(CpuDetection, ThisProcessorAgreesWithTheKernel) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    std::string flags;
    while (flags.empty() && std::getline(in, line)) {
        if (line.rfind("flags", 0) == 0)
            flags = line.substr(line.find(':') + 1) + " ";
    }
    const cpu_record& cpu = cpu_info();
    // The brand is the processor's own string, which a hypervisor may name differently from
    // the kernel's "model name"; the extensions are what the kernel saw too.
    const std::string brand = test::processor_brand_from_cpuid();
    if (!brand.empty()) {
        EXPECT_EQ(cpu.brand.substr(cpu.brand.find_first_not_of(' ')), brand);
    }
    EXPECT_TRUE(cpu.has(sse_feature::sse2));
    EXPECT_EQ(cpu.has(sse_feature::avx), flags.find(" avx ") != std::string::npos);
    EXPECT_EQ(cpu.aes, flags.find(" aes ") != std::string::npos);
}
#endif

} // namespace
} // namespace zel
