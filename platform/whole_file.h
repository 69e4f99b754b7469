#pragma once

#include "platform/unique_descriptor.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zel::platform {

// A file that is always written whole. Opening creates it, or empties an existing one; each
// replace() puts the complete new content at position 0 with one write and cuts off what the
// previous content had beyond it, so that readers never see a mix of old and new bytes past the
// end. Other processes may read the file meanwhile.
class whole_file {
public:
    whole_file() = default;
    explicit whole_file(const std::string& path);

    bool is_open() const noexcept { return fd_.valid(); }
    // False when the file is not open or the content could not be written completely.
    bool replace(std::string_view contents);
    void close() noexcept;

private:
    unique_descriptor fd_;
    std::uint64_t size_ = 0; // the file's length: the last content, or more after a failed write
};

} // namespace zel::platform
