#pragma once

#include "log/core/log_vocabulary.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <array>

namespace zel {

// What a locale contributes to printed dates and times, plus the four patterns the log uses.
struct TFormatSettings {
    QString locale_name;
    std::array<QString, 12> ShortMonthNames;
    std::array<QString, 12> LongMonthNames;
    std::array<QString, 7> ShortDayNames; // Sunday first
    std::array<QString, 7> LongDayNames;
    QChar DateSeparator = u'/';
    QChar TimeSeparator = u':';
    QString LongDateFormat;
    QString ShortDateFormat;
    QString LongTimeFormat;
    QString ShortTimeFormat;

    // Names and separators of `locale`; the patterns stay empty.
    static TFormatSettings from_locale(const QLocale& locale);
};

// Formats `value` with a pattern: yyyy (yy) year, m mm month, mmm mmmm month name, d dd day,
// ddd dddd day name, h hh hour 0-23, n nn minute (m or mm right after an hour too), s ss second,
// z zzz millisecond, text in double or single quotes copied as it is, "/" and ":" the settings'
// date and time separators; any other character is copied.
QString format_date_time(const QString& pattern, TDateTime value, const TFormatSettings& settings);

// Reads a date written with `pattern` (its year, month and day; the current year when the
// pattern has none) into `date` (a whole number of days). False, and `date` unchanged, when the
// text does not follow the pattern or names no valid date.
bool parse_date(const QString& text, const QString& pattern, const TFormatSettings& settings,
                TDateTime& date);
// Reads a time written with `pattern` (hours and minutes at least) into `time` (a fraction of a
// day). False, and `time` unchanged, when the text does not follow the pattern.
bool parse_time(const QString& text, const QString& pattern, const TFormatSettings& settings,
                TDateTime& time);

// Conversions between local date-times and day counts since 1899-12-30.
TDateTime to_date_time(const QDateTime& local);
QDateTime from_date_time(TDateTime value);
// The local wall-clock time.
TDateTime date_time_now();

} // namespace zel
