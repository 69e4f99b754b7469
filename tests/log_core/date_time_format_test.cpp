#include "log/core/date_time_format.h"
#include "tests/log_core/qt_print.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TFormatSettings english() {
    return TFormatSettings::from_locale(QLocale("en-US"));
}

// 2024-03-05 07:08:09.045, a Tuesday.
const TDateTime sample = to_date_time(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 45)));

TEST(DateTimeFormat, PatternLanguage) {
    const TFormatSettings settings = english();
    struct Case {
        const char* pattern;
        const char* expected;
    };
    const Case cases[] = {
        {R"(yyyy"-"mm"-"dd)", "2024-03-05"},
        {"dd mmm", "05 Mar"},
        {R"(hh":"nn":"ss"."zzz)", "07:08:09.045"},
        {R"(hh":"nn":"ss)", "07:08:09"},
        {R"(yyyymmdd"."hhnnss"."zzz)", "20240305.070809.045"},
        {"d/m/yy h:mm", "5/3/24 7:08"},
        {"dddd d mmmm 'yyyy'", "Tuesday 5 March yyyy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(format_date_time(c.pattern, sample, settings), QString(c.expected));
    }
}

TEST(DateTimeFormat, LocaleGivesMonthNamesAndSeparators) {
    const TFormatSettings german = TFormatSettings::from_locale(QLocale("de-DE"));
    EXPECT_EQ(format_date_time("dd mmm", sample, german), QString("05 März"));
    EXPECT_EQ(format_date_time("dd/mm/yyyy", sample, german), QString("05.03.2024"));
    EXPECT_EQ(english().DateSeparator, QChar('/'));
}

TEST(DateTimeFormat, TimeRoundedToTheMillisecondCarriesIntoTheNextDay) {
    const QString pattern = R"(yyyy"-"mm"-"dd hh":"nn":"ss"."zzz)";
    const TDateTime almost = 45000.0 + (86400000.0 - 0.4) / 86400000.0;
    EXPECT_EQ(format_date_time(pattern, almost, english()), QString("2023-03-16 00:00:00.000"));
    EXPECT_EQ(format_date_time(pattern, 45000.5, english()), QString("2023-03-15 12:00:00.000"));
    EXPECT_EQ(from_date_time(45000.5), QDateTime(QDate(2023, 3, 15), QTime(12, 0)));
}

TEST(DateTimeParse, ReadsWhatThePatternsWrite) {
    const TFormatSettings settings = english();
    for (const char* pattern : {R"(yyyy"-"mm"-"dd)", "dd mmm yyyy", "yyyymmdd", "d/m/yy"}) {
        SCOPED_TRACE(pattern);
        TDateTime date = 0;
        ASSERT_TRUE(
            parse_date(format_date_time(pattern, sample, settings), pattern, settings, date));
        EXPECT_EQ(date, std::trunc(sample));
    }
    for (const char* pattern : {R"(hh":"nn":"ss"."zzz)", "hhnnss", R"(hh":"nn)"}) {
        SCOPED_TRACE(pattern);
        TDateTime time = 0;
        ASSERT_TRUE(
            parse_time(format_date_time(pattern, sample, settings), pattern, settings, time));
        const QTime expected = from_date_time(sample).time();
        const QTime parsed = from_date_time(time).time();
        EXPECT_EQ(parsed.hour(), expected.hour());
        EXPECT_EQ(parsed.minute(), expected.minute());
    }
}

TEST(DateTimeParse, RejectsTextThatDoesNotFollowThePattern) {
    const TFormatSettings settings = english();
    const TDateTime untouched = 123.0;
    struct Case {
        const char* text;
        const char* pattern;
    };
    for (const Case& c :
         {Case{"2024-13-01", R"(yyyy"-"mm"-"dd)"}, Case{"2024-02-30", R"(yyyy"-"mm"-"dd)"},
          Case{"05 Foo", "dd mmm"}, Case{"2024-03-05x", R"(yyyy"-"mm"-"dd)"}, Case{"", "yyyymmdd"},
          Case{"20240305", "hhnnss"}}) {
        SCOPED_TRACE(c.text);
        TDateTime value = untouched;
        EXPECT_FALSE(parse_date(c.text, c.pattern, settings, value));
        EXPECT_EQ(value, untouched);
    }
    TDateTime time = untouched;
    EXPECT_FALSE(parse_time("25:00:00", R"(hh":"nn":"ss)", settings, time));
    EXPECT_FALSE(parse_time("12:00", "yyyy", settings, time));
    EXPECT_EQ(time, untouched);
}

TEST(DateTimeParse, DateWithoutYearTakesTheCurrentYear) {
    TDateTime date = 0;
    ASSERT_TRUE(parse_date("05 mar", "dd mmm", english(), date));
    EXPECT_EQ(from_date_time(date).date(), QDate(QDate::currentDate().year(), 3, 5));
}

} // namespace
} // namespace zel
