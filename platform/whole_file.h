#pragma once

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
    ~whole_file();
    whole_file(whole_file&& other) noexcept;
    whole_file& operator=(whole_file&& other) noexcept;
    whole_file(const whole_file&) = delete;
    whole_file& operator=(const whole_file&) = delete;

    bool is_open() const noexcept { return fd_ >= 0; }
    // False when the file is not open or the content could not be written completely.
    bool replace(std::string_view contents);
    void close() noexcept;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0; // length of the content last written
};

} // namespace zel::platform
