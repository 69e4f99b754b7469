#pragma once

#include "platform/file_handle.h"

#include <cstdint>
#include <string>

namespace zel::platform {

// A point in UTC: seconds since 1970-01-01 and nanoseconds.
struct TStatTime {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
};

struct TFileStatus {
    TStatTime access;
    TStatTime modification;
    TStatTime change; // of the file's metadata
    TStatTime birth;
    bool has_birth = false; // not every file system records it
    std::uint64_t size = 0;
    std::uint64_t allocated = 0; // bytes of storage given to the file
    std::uint32_t links = 0;
    std::uint64_t device = 0; // the file system's device number (major and minor)
    std::uint64_t inode = 0;
    bool directory = false;
};

// False when the handle cannot be queried.
bool read_file_status(TFileHandle handle, TFileStatus& status);

// The absolute path the handle was opened on; empty when it cannot be told. A file deleted
// since has " (deleted)" appended, as the kernel reports it.
std::string file_path_of(TFileHandle handle);

} // namespace zel::platform
