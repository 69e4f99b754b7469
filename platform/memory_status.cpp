#include "platform/memory_status.h"

#include "platform/text_file.h"

#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/sysinfo.h>

namespace zel::platform {

namespace {

// "Key:   1234 kB" lines of /proc/meminfo and /proc/self/status; false when `key` is missing.
bool kib_field(const std::string& text, const char* key, std::uint64_t& bytes) {
    const std::string prefix = std::string("\n") + key + ':';
    const std::string padded = '\n' + text;
    const std::size_t at = padded.find(prefix);
    if (at == std::string::npos)
        return false;
    std::istringstream value(padded.substr(at + prefix.size(), 32));
    std::uint64_t kib = 0;
    if (!(value >> kib))
        return false;
    bytes = kib * 1024;
    return true;
}

std::uint32_t load_percent(std::uint64_t total, std::uint64_t available) {
    if (total == 0 || available >= total)
        return 0;
    return static_cast<std::uint32_t>(((total - available) * 100 + total / 2) / total);
}

// The user part of the address space of a process; a finite RLIMIT_AS lowers it.
std::uint64_t address_space_size() {
#if defined(__x86_64__)
    std::uint64_t size = std::uint64_t{1} << 47;
#elif defined(__aarch64__)
    std::uint64_t size = std::uint64_t{1} << 48;
#else
    std::uint64_t size = std::uint64_t{3} << 30;
#endif
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < size)
        size = limit.rlim_cur;
    return size;
}

void fill_address_space(memory_status& status, std::uint64_t reserved) {
    status.total_virtual = address_space_size();
    status.available_virtual =
        reserved < status.total_virtual ? status.total_virtual - reserved : 0;
    // Windows fills this field with 0 on every system; nothing here corresponds to it.
    status.available_extended_virtual = 0;
}

} // namespace

bool parse_meminfo(const char* text, memory_status& status) {
    const std::string meminfo(text);
    std::uint64_t total = 0;
    if (!kib_field(meminfo, "MemTotal", total))
        return false;
    std::uint64_t available = 0;
    if (!kib_field(meminfo, "MemAvailable", available)) {
        // Kernels before 3.14: what is free plus what the page cache would give back.
        std::uint64_t free = 0;
        std::uint64_t buffers = 0;
        std::uint64_t cached = 0;
        kib_field(meminfo, "MemFree", free);
        kib_field(meminfo, "Buffers", buffers);
        kib_field(meminfo, "Cached", cached);
        available = free + buffers + cached;
    }
    std::uint64_t swap = 0;
    std::uint64_t committed = 0;
    kib_field(meminfo, "SwapTotal", swap);
    kib_field(meminfo, "Committed_AS", committed);

    status.total_physical = total;
    status.available_physical = available;
    status.memory_load = load_percent(total, available);
    // The commit limit of Windows is physical memory plus the page files; Linux enforces no
    // such limit by default, so memory plus swap is the nearest honest figure, and the commit
    // charge (Committed_AS) is what is already promised of it.
    status.total_commit = total + swap;
    status.available_commit = committed < status.total_commit ? status.total_commit - committed : 0;
    return true;
}

bool read_memory_status(memory_status& status) {
    const std::string meminfo = read_text_file("/proc/meminfo");
    if (!parse_meminfo(meminfo.c_str(), status))
        return false;
    std::uint64_t reserved = 0;
    kib_field(read_text_file("/proc/self/status"), "VmSize", reserved);
    fill_address_space(status, reserved);
    return true;
}

bool read_basic_memory_status(memory_status& status) {
    struct sysinfo info {};
    if (::sysinfo(&info) != 0)
        return false;
    const std::uint64_t unit = info.mem_unit == 0 ? 1 : info.mem_unit;
    status.total_physical = std::uint64_t{info.totalram} * unit;
    status.available_physical = (std::uint64_t{info.freeram} + info.bufferram) * unit;
    status.memory_load = load_percent(status.total_physical, status.available_physical);
    fill_address_space(status, 0);
    return true;
}

} // namespace zel::platform
