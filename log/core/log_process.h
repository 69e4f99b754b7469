#pragma once

#include "log/core/log_vocabulary.h"

#include <QString>

#include <cstdint>

namespace zel {

// Facts of the running process that every event reads; each is read once.

// The high-resolution counter: nanoseconds since boot, suspended time included.
inline constexpr double perf_frequency = 1e9;
std::int64_t read_ticks() noexcept;

std::uint32_t log_process_id() noexcept;
// Full path of the program module, and its file name without the folder.
const QString& log_module_path();
const QString& log_module_name();

// A clock reading to which an event's counter ticks are added to give its time: the root's
// creation tick and wall-clock time.
struct TTimeAnchor {
    std::int64_t ticks = 0;
    TDateTime when = 0;
    bool valid = false;

    TDateTime when_at(std::int64_t at_ticks) const noexcept {
        return when + static_cast<double>(at_ticks - ticks) / perf_frequency / 86400.0;
    }
};

} // namespace zel
