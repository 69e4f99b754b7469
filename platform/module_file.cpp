#include "platform/module_file.h"

#include "platform/process_info.h"

#include <dlfcn.h>
#include <sys/auxv.h>

namespace zel::platform {

namespace {

// Load address of the module holding `address`, or null when the loader does not know it.
const void* module_base(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0)
        return nullptr;
    return info.dli_fbase;
}

// Base of the executable: its program headers lie inside it, wherever it was loaded.
const void* executable_base() {
    static const void* const base =
        module_base(reinterpret_cast<const void*>(::getauxval(AT_PHDR)));
    return base;
}

} // namespace

std::string module_path(const void* address) {
    if (address == nullptr || !in_shared_library(address))
        return executable_path();
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return {};
    return info.dli_fname;
}

bool in_shared_library(const void* address) {
    const void* base = module_base(address);
    return base != nullptr && base != executable_base();
}

} // namespace zel::platform
