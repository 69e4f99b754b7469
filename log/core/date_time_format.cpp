#include "log/core/date_time_format.h"

#include <cmath>
#include <cstdint>
#include <optional>

namespace zel {

namespace {

// 1899-12-30, day 0 of the day counts, as a Julian day (a constant: no start-up order).
constexpr qint64 day_zero = 2415019;
constexpr std::int64_t msecs_per_day = 86400000;

// A day count and the milliseconds into that day; the date part is truncated and the time part
// is the absolute fraction, so -1.25 is 1899-12-29 06:00.
struct TDecoded {
    QDate date;
    std::int64_t msecs = 0;
};

TDecoded decode(TDateTime value) {
    double days = std::trunc(value);
    std::int64_t msecs = std::llround(std::fabs(value - days) * msecs_per_day);
    if (msecs >= msecs_per_day) {
        msecs -= msecs_per_day;
        days += value < 0 ? -1 : 1;
    }
    return {QDate::fromJulianDay(day_zero + static_cast<qint64>(days)), msecs};
}

// The pattern split into fields. `letter` is the lower-case field letter ('n' for minutes, even
// when written "m" after an hour), 0 for literal text.
struct TToken {
    char16_t letter = 0;
    int count = 0;
    QString literal;
};

template <class Visit>
void tokenize(const QString& pattern, const TFormatSettings& settings, Visit&& visit) {
    qsizetype i = 0;
    const qsizetype size = pattern.size();
    char16_t last_field = 0;
    while (i < size) {
        const QChar c = pattern[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype close = pattern.indexOf(c, i + 1);
            const qsizetype end = close < 0 ? size : close;
            visit(TToken{0, 0, pattern.mid(i + 1, end - i - 1)});
            i = end + 1;
            continue;
        }
        const char16_t letter = c.toLower().unicode();
        if (letter == u'y' || letter == u'm' || letter == u'd' || letter == u'h' ||
            letter == u'n' || letter == u's' || letter == u'z') {
            int count = 0;
            while (i < size && pattern[i].toLower() == letter) {
                ++count;
                ++i;
            }
            char16_t field = letter;
            if (letter == u'm' && last_field == u'h' && count <= 2)
                field = u'n';
            last_field = field;
            visit(TToken{field, count, {}});
            continue;
        }
        if (c == u'/')
            visit(TToken{0, 0, settings.DateSeparator});
        else if (c == u':')
            visit(TToken{0, 0, settings.TimeSeparator});
        else
            visit(TToken{0, 0, c});
        ++i;
    }
}

QString padded(std::int64_t value, int digits) {
    return QString::number(value).rightJustified(digits, u'0');
}

// The fields that a text written with a pattern gave.
struct TFields {
    std::optional<int> year, month, day, hour, minute, second, msec;
};

class TParser {
public:
    TParser(const QString& text, const TFormatSettings& settings)
        : Ftext(text.trimmed())
        , Fsettings(settings) {}

    std::optional<TFields> run(const QString& pattern) {
        bool ok = true;
        tokenize(pattern, Fsettings, [&](const TToken& token) {
            if (ok)
                ok = token.letter == 0 ? literal(token.literal) : field(token);
        });
        if (!ok || Fpos != Ftext.size())
            return std::nullopt;
        return Ffields;
    }

private:
    bool literal(const QString& expected) {
        for (const QChar c : expected) {
            if (c == u' ') { // one blank of the pattern takes any run of blanks
                if (Fpos >= Ftext.size() || Ftext[Fpos] != u' ')
                    return false;
                while (Fpos < Ftext.size() && Ftext[Fpos] == u' ')
                    ++Fpos;
                continue;
            }
            if (Fpos >= Ftext.size() || Ftext[Fpos] != c)
                return false;
            ++Fpos;
        }
        return true;
    }

    std::optional<int> digits(int max_count) {
        int value = 0;
        int count = 0;
        while (count < max_count && Fpos < Ftext.size() && Ftext[Fpos].isDigit()) {
            value = value * 10 + Ftext[Fpos++].digitValue();
            ++count;
        }
        if (count == 0)
            return std::nullopt;
        return value;
    }

    // The position (from 1) of the longest name that the text starts with.
    template <std::size_t N>
    std::optional<int> name(const std::array<QString, N>& names) {
        int found = 0;
        qsizetype found_length = 0;
        for (std::size_t i = 0; i < N; ++i) {
            const QString& candidate = names[i];
            if (!candidate.isEmpty() && candidate.size() > found_length &&
                QStringView(Ftext).mid(Fpos).startsWith(candidate, Qt::CaseInsensitive)) {
                found = static_cast<int>(i) + 1;
                found_length = candidate.size();
            }
        }
        if (found == 0)
            return std::nullopt;
        Fpos += found_length;
        return found;
    }

    bool field(const TToken& token) {
        std::optional<int> value;
        switch (token.letter) {
        case u'y':
            value = digits(token.count <= 2 ? 2 : 4);
            if (value && token.count <= 2)
                value = century_window(*value);
            return store(Ffields.year, value);
        case u'm':
            if (token.count == 3)
                return store(Ffields.month, name(Fsettings.ShortMonthNames));
            if (token.count >= 4)
                return store(Ffields.month, name(Fsettings.LongMonthNames));
            return store(Ffields.month, digits(2));
        case u'd':
            if (token.count == 3)
                return name(Fsettings.ShortDayNames).has_value();
            if (token.count >= 4)
                return name(Fsettings.LongDayNames).has_value();
            return store(Ffields.day, digits(2));
        case u'h':
            return store(Ffields.hour, digits(2));
        case u'n':
            return store(Ffields.minute, digits(2));
        case u's':
            return store(Ffields.second, digits(2));
        case u'z':
            return store(Ffields.msec, digits(3));
        default:
            return false;
        }
    }

    static bool store(std::optional<int>& field, std::optional<int> value) {
        field = value;
        return value.has_value();
    }

    // A two-digit year is taken within fifty years of today.
    static int century_window(int two_digits) {
        const int this_year = QDate::currentDate().year();
        int year = this_year - this_year % 100 + two_digits;
        if (year > this_year + 49)
            year -= 100;
        else if (year < this_year - 50)
            year += 100;
        return year;
    }

    QString Ftext;
    const TFormatSettings& Fsettings;
    qsizetype Fpos = 0;
    TFields Ffields;
};

} // namespace

TFormatSettings TFormatSettings::from_locale(const QLocale& locale) {
    TFormatSettings settings;
    settings.locale_name = locale.bcp47Name();
    for (int month = 1; month <= 12; ++month) {
        settings.ShortMonthNames[month - 1] = locale.monthName(month, QLocale::ShortFormat);
        settings.LongMonthNames[month - 1] = locale.monthName(month, QLocale::LongFormat);
    }
    for (int day = 0; day < 7; ++day) {
        const int qt_day = day == 0 ? 7 : day; // Qt counts from Monday
        settings.ShortDayNames[day] = locale.dayName(qt_day, QLocale::ShortFormat);
        settings.LongDayNames[day] = locale.dayName(qt_day, QLocale::LongFormat);
    }
    // The separators are the first character that is not a letter in the locale's short forms.
    const auto separator = [](const QString& format, QChar fallback) {
        for (const QChar c : format)
            if (!c.isLetter() && !c.isSpace() && c != u'\'')
                return c;
        return fallback;
    };
    settings.DateSeparator = separator(locale.dateFormat(QLocale::ShortFormat), u'/');
    settings.TimeSeparator = separator(locale.timeFormat(QLocale::ShortFormat), u':');
    return settings;
}

QString format_date_time(const QString& pattern, TDateTime value, const TFormatSettings& settings) {
    const TDecoded decoded = decode(value);
    const QDate& date = decoded.date;
    const std::int64_t msecs = decoded.msecs;
    QString out;
    out.reserve(pattern.size() + 8);
    tokenize(pattern, settings, [&](const TToken& token) {
        const bool two = token.count >= 2;
        switch (token.letter) {
        case 0:
            out += token.literal;
            break;
        case u'y':
            out += token.count <= 2 ? padded(date.year() % 100, 2) : padded(date.year(), 4);
            break;
        case u'm':
            if (token.count == 3)
                out += settings.ShortMonthNames[static_cast<std::size_t>(date.month() - 1)];
            else if (token.count >= 4)
                out += settings.LongMonthNames[static_cast<std::size_t>(date.month() - 1)];
            else
                out += padded(date.month(), two ? 2 : 1);
            break;
        case u'd':
            if (token.count == 3)
                out += settings.ShortDayNames[static_cast<std::size_t>(date.dayOfWeek() % 7)];
            else if (token.count >= 4)
                out += settings.LongDayNames[static_cast<std::size_t>(date.dayOfWeek() % 7)];
            else
                out += padded(date.day(), two ? 2 : 1);
            break;
        case u'h':
            out += padded(msecs / 3600000, two ? 2 : 1);
            break;
        case u'n':
            out += padded(msecs / 60000 % 60, two ? 2 : 1);
            break;
        case u's':
            out += padded(msecs / 1000 % 60, two ? 2 : 1);
            break;
        case u'z':
            out += padded(msecs % 1000, two ? 3 : 1);
            break;
        default:
            break;
        }
    });
    return out;
}

bool parse_date(const QString& text, const QString& pattern, const TFormatSettings& settings,
                TDateTime& date) {
    const std::optional<TFields> fields = TParser(text, settings).run(pattern);
    if (!fields || !fields->month || !fields->day)
        return false;
    const QDate parsed(fields->year.value_or(QDate::currentDate().year()), *fields->month,
                       *fields->day);
    if (!parsed.isValid())
        return false;
    date = static_cast<TDateTime>(parsed.toJulianDay() - day_zero);
    return true;
}

bool parse_time(const QString& text, const QString& pattern, const TFormatSettings& settings,
                TDateTime& time) {
    const std::optional<TFields> fields = TParser(text, settings).run(pattern);
    if (!fields || !fields->hour)
        return false;
    const int hour = *fields->hour;
    const int minute = fields->minute.value_or(0);
    const int second = fields->second.value_or(0);
    const int msec = fields->msec.value_or(0);
    if (hour > 23 || minute > 59 || second > 59 || msec > 999)
        return false;
    time = static_cast<TDateTime>((hour * 3600000LL + minute * 60000LL + second * 1000LL + msec)) /
           msecs_per_day;
    return true;
}

TDateTime to_date_time(const QDateTime& local) {
    return static_cast<TDateTime>(local.date().toJulianDay() - day_zero) +
           static_cast<TDateTime>(local.time().msecsSinceStartOfDay()) / msecs_per_day;
}

QDateTime from_date_time(TDateTime value) {
    const TDecoded decoded = decode(value);
    return QDateTime(decoded.date,
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(decoded.msecs)));
}

TDateTime date_time_now() {
    return to_date_time(QDateTime::currentDateTime());
}

} // namespace zel
