#include "Common/date_time.h"

#include <cmath>

namespace zel {

namespace {

constexpr double seconds_per_day = 86400.0;
constexpr std::int64_t nanoseconds_per_second = 1000000000;
// 1899-12-30 as seconds since 1970-01-01 and as 100-nanosecond intervals since 1601-01-01.
constexpr std::int64_t date_time_epoch_unix = -2209161600;
constexpr std::int64_t date_time_epoch_file_time = 94353120000000000;
// 1970-01-01 in 100-nanosecond intervals since 1601-01-01.
constexpr std::int64_t unix_epoch_file_time = 116444736000000000;

} // namespace

// The conversions shift to the 1899-12-30 epoch in integers first: a double counting days
// from there is finer than one counting from 1601 or 1970.

TDateTime date_time_from_unix(const TUnixTime& time) {
    const double seconds = static_cast<double>(time.seconds - date_time_epoch_unix) +
                           static_cast<double>(time.nanoseconds) / nanoseconds_per_second;
    return seconds / seconds_per_day;
}

TUnixTime unix_from_date_time(TDateTime value) {
    // Rounded to the microsecond: a double of this size carries no finer time.
    const auto micros = static_cast<std::int64_t>(std::round(value * seconds_per_day * 1e6));
    std::int64_t seconds = micros / 1000000;
    std::int64_t rest = micros % 1000000;
    if (rest < 0) {
        --seconds;
        rest += 1000000;
    }
    return {seconds + date_time_epoch_unix, static_cast<std::uint32_t>(rest * 1000)};
}

TDateTime date_time_from_file_time(std::int64_t file_time) {
    return static_cast<double>(file_time - date_time_epoch_file_time) / file_time_ticks_per_day;
}

std::int64_t file_time_from_date_time(TDateTime value) {
    return static_cast<std::int64_t>(std::round(value * file_time_ticks_per_day)) +
           date_time_epoch_file_time;
}

std::int64_t file_time_from_unix(const TUnixTime& time) {
    return unix_epoch_file_time + time.seconds * 10000000 + time.nanoseconds / 100;
}

} // namespace zel
