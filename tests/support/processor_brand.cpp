#include "tests/support/processor_brand.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>

namespace zel::test {

std::string processor_brand_from_cpuid() {
    std::string brand;
#if defined(__x86_64__) || defined(__i386__)
    const unsigned highest = __get_cpuid_max(0x80000000U, nullptr);
    if (highest < 0x80000004U)
        return brand;
    for (unsigned leaf = 0x80000002U; leaf <= 0x80000004U; ++leaf) {
        std::array<unsigned, 4> r{};
        __cpuid(leaf, r[0], r[1], r[2], r[3]);
        char chars[sizeof r];
        std::memcpy(chars, r.data(), sizeof r);
        brand.append(chars, sizeof r);
    }
    brand.erase(std::min(brand.find('\0'), brand.size()));
    brand.erase(0, std::min(brand.find_first_not_of(' '), brand.size()));
#endif
    return brand;
}

} // namespace zel::test
