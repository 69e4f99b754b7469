#include "tests/support/processor_brand.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <array>
#include <cstring>

namespace zel::test {

std::string processor_brand_from_cpuid() {
    std::string brand;
#if defined(__x86_64__) || defined(__i386__)
    unsigned highest = __get_cpuid_max(0x80000000U, nullptr);
    if (highest < 0x80000004U)
        return brand;
    for (unsigned leaf = 0x80000002U; leaf <= 0x80000004U; ++leaf) {
        std::array<unsigned, 4> r{};
        __cpuid(leaf, r[0], r[1], r[2], r[3]);
        char chars[sizeof r];
        std::memcpy(chars, r.data(), sizeof r);
        brand.append(chars, sizeof r);
    }
    brand.resize(brand.find('\0') == std::string::npos ? brand.size() : brand.find('\0'));
    const auto first = brand.find_first_not_of(' ');
    brand.erase(0, first == std::string::npos ? brand.size() : first);
#endif
    return brand;
}

} // namespace zel::test
