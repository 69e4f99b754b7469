#pragma once

#include <cstdint>

namespace zel::platform {

// The memory figures of the system and of this process, in bytes.
struct memory_status {
    std::uint64_t total_physical = 0;
    std::uint64_t available_physical = 0;
    std::uint32_t memory_load = 0;       // percent of physical memory in use
    std::uint64_t total_virtual = 0;     // address space this process may use
    std::uint64_t available_virtual = 0; // the part of it not yet reserved
    std::uint64_t available_extended_virtual = 0;
    std::uint64_t total_commit = 0;     // physical memory plus swap
    std::uint64_t available_commit = 0; // what is not yet committed of it
};

// Full figures from /proc/meminfo and the process's address space; false when /proc/meminfo
// cannot be read.
bool read_memory_status(memory_status& status);

// The reduced figures of sysinfo(): physical memory, load and the process's address space; the
// commit figures stay 0.
bool read_basic_memory_status(memory_status& status);

// Parses a /proc/meminfo text into `status`; false when MemTotal is missing.
bool parse_meminfo(const char* text, memory_status& status);

} // namespace zel::platform
