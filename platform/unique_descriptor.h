#pragma once

#include <utility>

namespace zel::platform {

// Owns an open file descriptor and closes it when let go of; -1 stands for none.
class unique_descriptor {
public:
    unique_descriptor() noexcept = default;
    explicit unique_descriptor(int value) noexcept
        : value_(value) {}
    unique_descriptor(unique_descriptor&& other) noexcept
        : value_(other.release()) {}
    unique_descriptor& operator=(unique_descriptor&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~unique_descriptor() { reset(); }

    int get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ >= 0; }
    // Hands the descriptor over without closing it.
    int release() noexcept { return std::exchange(value_, -1); }
    // Closes the descriptor held, if any, and takes `value` instead.
    void reset(int value = -1) noexcept;

private:
    int value_ = -1;
};

} // namespace zel::platform
