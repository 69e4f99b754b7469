#pragma once

#include "platform/unique_descriptor.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zel::platform {

// How a whole_file finds or makes its file.
enum class whole_file_open {
    create_new,    // create it; name_taken when a file of that name exists
    open_existing, // open the file that is there; missing when there is none
    open_always,   // open the file that is there, or create it
};

enum class whole_file_status { opened, name_taken, missing, in_use, failed };

// The device and inode of an open file: tells a file from another that took its name later
// (unless that one was given the inode number the first one freed).
struct file_identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const file_identity&) const = default;
};

// A file that is always written whole. Each replace() puts the complete new content at position
// 0 with one write and cuts off what the previous content had beyond it, so that readers never
// see a mix of old and new bytes past the end. One whole_file at a time holds a file open, in
// this process or any other (an exclusive advisory lock on the open file, released by the
// kernel when the process dies); others may read it meanwhile.
class whole_file {
public:
    // Opens `path` as `how` says. A file that another whole_file holds open is in_use and is
    // left alone. The file keeps its content until the first replace.
    whole_file_status open(const std::string& path, whole_file_open how);
    bool is_open() const noexcept { return fd_.valid(); }
    file_identity identity() const noexcept { return identity_; }

    // False when the file is not open or the content could not be written completely; then
    // written() tells how much of the content's start reached the file, and the file holds
    // that part followed by what was there before, until cut() or the next replace.
    bool replace(std::string_view contents);
    std::uint64_t written() const noexcept { return written_; }
    // Cuts the file to its first `size` bytes (never refused for want of room).
    bool cut(std::uint64_t size);
    void close() noexcept;

private:
    unique_descriptor fd_;
    file_identity identity_;
    std::uint64_t size_ = 0;    // the file's length, as far as this object knows
    std::uint64_t written_ = 0; // of the last replace
};

} // namespace zel::platform
