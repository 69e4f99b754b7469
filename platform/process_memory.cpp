#include "platform/process_memory.h"

#include <cstdio>
#include <unistd.h>

namespace zel::platform {

std::uint64_t resident_set_size() noexcept {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return 0;
    unsigned long long total_pages = 0;
    unsigned long long resident_pages = 0;
    const int read = std::fscanf(statm, "%llu %llu", &total_pages, &resident_pages);
    std::fclose(statm);
    if (read != 2)
        return 0;
    return resident_pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

} // namespace zel::platform
