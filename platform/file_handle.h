#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zel::platform {

// An open file of the operating system (a file descriptor).
using TFileHandle = int;
inline constexpr TFileHandle invalid_file_handle = -1;

enum class TFileAccess { read, write, read_write };

// What to do when the file exists or is missing, in the terms of the Windows open call.
enum class TFileDisposition {
    create_new,       // create; fail when it exists
    create_always,    // create, or empty an existing file
    open_existing,    // open; fail when missing
    open_always,      // open, or create when missing
    truncate_existing // open and empty; fail when missing (needs write access)
};

enum class TSeekFrom { beginning, current, end };

// Longest path the system accepts, in bytes.
std::size_t max_path_length() noexcept;

// invalid_file_handle when the file cannot be opened. New files get the permissions the
// process's umask leaves of read and write for everyone; the handle is not inherited by
// programs this process starts.
TFileHandle open_file(const std::string& path, TFileAccess access, TFileDisposition disposition);
void close_file(TFileHandle handle) noexcept;

// Bytes read (0 at the end of the file), or -1.
std::int64_t read_file(TFileHandle handle, std::span<std::byte> buffer) noexcept;
// The same from `offset`, leaving the file position alone.
std::int64_t read_file_at(TFileHandle handle, std::span<std::byte> buffer,
                          std::int64_t offset) noexcept;
// Bytes written: all of them unless an error stopped the write; -1 when nothing was written.
std::int64_t write_file(TFileHandle handle, std::span<const std::byte> buffer) noexcept;
// The same from `offset`, leaving the file position alone.
std::int64_t write_file_at(TFileHandle handle, std::span<const std::byte> buffer,
                           std::int64_t offset) noexcept;
// The new position, or -1 (the position is unchanged).
std::int64_t seek_file(TFileHandle handle, std::int64_t offset, TSeekFrom from) noexcept;
// -1 when unknown.
std::int64_t file_size(TFileHandle handle) noexcept;
// Cuts or extends the file to size bytes.
bool resize_file(TFileHandle handle, std::int64_t size) noexcept;

} // namespace zel::platform
