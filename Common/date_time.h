#pragma once

#include <cstdint>

namespace zel {

// Days since 1899-12-30 00:00, the time of day as the fraction. The value runs linearly through
// the epoch: -0.25 is 1899-12-29 18:00.
using TDateTime = double;

// 100-nanosecond intervals in a day.
inline constexpr double file_time_ticks_per_day = 864000000000.0;

// A point in UTC as seconds since 1970-01-01 plus nanoseconds (0 to 999999999).
struct TUnixTime {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;

    friend bool operator==(const TUnixTime&, const TUnixTime&) = default;
};

TDateTime date_time_from_unix(const TUnixTime& time);
TUnixTime unix_from_date_time(TDateTime value);

// File times count 100-nanosecond intervals since 1601-01-01 UTC (a date-time of -109205).
TDateTime date_time_from_file_time(std::int64_t file_time);
std::int64_t file_time_from_date_time(TDateTime value);
std::int64_t file_time_from_unix(const TUnixTime& time);

} // namespace zel
