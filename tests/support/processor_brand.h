#pragma once

#include <string>

namespace zel::test {

// The processor's brand string read straight from the CPUID instruction (leaves
// 0x80000002..4), leading blanks dropped; empty where there is none. The kernel's
// "model name" is not the same fact: a hypervisor may show it another name.
std::string processor_brand_from_cpuid();

} // namespace zel::test
