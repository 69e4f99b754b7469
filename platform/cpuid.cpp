#include "platform/cpuid.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace zel::platform {

cpuid_registers cpuid_snapshot::leaf(std::uint32_t number) const {
    const auto found = std::find_if(leaves.begin(), leaves.end(),
                                    [number](const auto& entry) { return entry.first == number; });
    return found == leaves.end() ? cpuid_registers{} : found->second;
}

#if defined(__x86_64__) || defined(__i386__)

namespace {

cpuid_registers query(std::uint32_t leaf) {
    cpuid_registers r;
    __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
    return r;
}

// XGETBV faults unless the OS set CR4.OSXSAVE, which leaf 1 ECX bit 27 reports.
std::uint64_t read_xcr0() {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (std::uint64_t{high} << 32) | low;
}

void read_range(cpuid_snapshot& snapshot, std::uint32_t first, std::uint32_t last,
                std::initializer_list<std::uint32_t> wanted) {
    for (const std::uint32_t leaf : wanted) {
        if (leaf >= first && leaf <= last)
            snapshot.leaves.emplace_back(leaf, query(leaf));
    }
}

} // namespace

cpuid_snapshot read_cpuid() {
    cpuid_snapshot snapshot;
    // Every x86-64 processor has CPUID; on 32-bit x86 the compiler's helper tests the
    // identification flag of EFLAGS for us.
    if (__get_cpuid_max(0, nullptr) == 0)
        return snapshot;
    snapshot.available = true;

    const cpuid_registers leaf0 = query(0);
    snapshot.leaves.emplace_back(0U, leaf0);
    read_range(snapshot, 1, leaf0.eax, {1, 4, 7});

    const std::uint32_t highest_extended = query(0x80000000U).eax;
    if (highest_extended >= 0x80000000U) {
        read_range(snapshot, 0x80000000U, highest_extended,
                   {0x80000000U, 0x80000001U, 0x80000002U, 0x80000003U, 0x80000004U, 0x80000008U});
    }

    constexpr std::uint32_t osxsave = 1U << 27;
    if ((snapshot.leaf(1).ecx & osxsave) != 0)
        snapshot.xcr0 = read_xcr0();
    return snapshot;
}

#else

cpuid_snapshot read_cpuid() {
    return {};
}

#endif

} // namespace zel::platform
