#include "Common/date_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace zel {
namespace {

TEST(DateTime, FileTimesConvertByDaysSince1601) {
    struct Case {
        std::int64_t file_time;
        TDateTime value;
    };
    const std::vector<Case> cases = {
        {0, -109205.0},                               // 1601-01-01
        {116444736000000000, 25569.0},                // 1970-01-01
        {125911584000000000, 36526.0},                // 2000-01-01
        {125911584000000000 + 432000000000, 36526.5}, // 2000-01-01 12:00
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(date_time_from_file_time(c.file_time), c.value) << c.file_time;
        EXPECT_EQ(file_time_from_date_time(c.value), c.file_time) << c.value;
    }
}

TEST(DateTime, UnixTimesConvertBothWays) {
    struct Case {
        TUnixTime unix;
        TDateTime value;
    };
    const std::vector<Case> cases = {
        {{0, 0}, 25569.0},
        {{946684800, 0}, 36526.0},
        {{946684800 + 21600, 0}, 36526.25},
        {{-2209161600 - 21600, 0}, -0.25}, // 1899-12-29 18:00, before the epoch
        {{1700000000, 500000000}, 25569.0 + 1700000000.5 / 86400.0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(date_time_from_unix(c.unix), c.value) << c.unix.seconds;
        EXPECT_EQ(unix_from_date_time(c.value), c.unix) << c.value;
    }
    EXPECT_EQ(file_time_from_unix({0, 0}), 116444736000000000);
    EXPECT_EQ(file_time_from_unix({1, 999999999}), 116444736000000000 + 19999999);
}

TEST(DateTime, RoundTripsKeepTheMicrosecond) {
    const auto micros = [](const TUnixTime& time) {
        return time.seconds * 1000000 + time.nanoseconds / 1000;
    };
    for (const TUnixTime time : {TUnixTime{1733788800, 123456000},
                                 TUnixTime{-5000000000, 999999000}, TUnixTime{4102444800, 1000}}) {
        EXPECT_LE(std::abs(micros(unix_from_date_time(date_time_from_unix(time))) - micros(time)),
                  1)
            << time.seconds;
        const std::int64_t file_time = file_time_from_unix(time);
        EXPECT_LE(
            std::abs(file_time_from_date_time(date_time_from_file_time(file_time)) - file_time), 10)
            << time.seconds;
    }
}

} // namespace
} // namespace zel
