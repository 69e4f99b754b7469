#include "log/core/safe_format.h"

#include "log/core/number_format.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace zel {

namespace {

// The largest width or precision, written or taken from an argument: a conversion never fills
// more than this many characters.
constexpr std::int32_t max_count = 1 << 20;

// One conversion, as parsed from the format.
struct TConversion {
    bool left_justify = false;
    std::optional<std::int32_t> width;
    std::optional<std::int32_t> precision;
    char16_t type = 0; // lower case
};

// Walks a printf-style format; any fault ends the whole formatting.
class TFormatter {
public:
    TFormatter(const QString& format, TLogArgs args)
        : Fformat(format)
        , Fargs(args) {}

    std::optional<QString> run() {
        QString out;
        out.reserve(Fformat.size() + 32);
        while (Fpos < Fformat.size()) {
            const QChar c = Fformat[Fpos++];
            if (c != u'%') {
                out += c;
                continue;
            }
            if (at(u'%')) {
                ++Fpos;
                out += u'%';
                continue;
            }
            std::optional<QString> piece = conversion();
            if (!piece)
                return std::nullopt;
            out += *piece;
        }
        return out;
    }

private:
    bool at(char16_t c) const { return Fpos < Fformat.size() && Fformat[Fpos] == c; }

    bool at_digit() const { return Fpos < Fformat.size() && Fformat[Fpos].isDigit(); }

    std::int32_t number() {
        std::int64_t value = 0;
        while (at_digit()) {
            value = value * 10 + Fformat[Fpos++].digitValue();
            value = std::min<std::int64_t>(value, max_count);
        }
        return static_cast<std::int32_t>(value);
    }

    const TLogArg* next_argument() {
        if (Fnext >= Fargs.size())
            return nullptr;
        return &Fargs[Fnext++];
    }

    // A width or precision: digits, or "*" taking an integer argument. An argument is capped
    // like written digits; a negative one comes back as its magnitude in `negative`.
    bool count(std::optional<std::int32_t>& value, bool& negative) {
        if (at(u'*')) {
            ++Fpos;
            const TLogArg* arg = next_argument();
            if (arg == nullptr || arg->kind() != TLogArg::Kind::Integer)
                return false;
            const std::int64_t taken = arg->get<std::int32_t>();
            negative = taken < 0;
            value = static_cast<std::int32_t>(std::min<std::int64_t>(std::abs(taken), max_count));
        } else if (at_digit()) {
            value = number();
        }
        return true;
    }

    std::optional<TConversion> parse_conversion() {
        TConversion wanted;
        // An index ("%1:s") moves the argument position; it looks like a width until ":" comes.
        if (at_digit()) {
            const qsizetype start = Fpos;
            const std::int32_t index = number();
            if (at(u':')) {
                ++Fpos;
                Fnext = static_cast<std::size_t>(index);
            } else {
                Fpos = start;
            }
        }
        if (at(u'-')) {
            ++Fpos;
            wanted.left_justify = true;
        }
        // As in printf, a negative width from an argument left-justifies, and a negative
        // precision counts as none.
        bool negative_width = false;
        if (!count(wanted.width, negative_width))
            return std::nullopt;
        wanted.left_justify = wanted.left_justify || negative_width;
        if (at(u'.')) {
            ++Fpos;
            bool negative_precision = false;
            if (!count(wanted.precision, negative_precision))
                return std::nullopt;
            if (negative_precision)
                wanted.precision.reset();
            else if (!wanted.precision)
                wanted.precision = 0;
        }
        if (Fpos >= Fformat.size())
            return std::nullopt;
        wanted.type = Fformat[Fpos++].toLower().unicode();
        return wanted;
    }

    std::optional<QString> conversion() {
        const std::optional<TConversion> wanted = parse_conversion();
        if (!wanted)
            return std::nullopt;
        const TLogArg* arg = next_argument();
        if (arg == nullptr)
            return std::nullopt;
        std::optional<QString> text = convert(*wanted, *arg);
        if (!text)
            return std::nullopt;
        const std::int32_t width = wanted->width.value_or(0);
        if (text->size() < width) {
            const QString fill(width - text->size(), u' ');
            *text = wanted->left_justify ? *text + fill : fill + *text;
        }
        return text;
    }

    static std::optional<QString> convert(const TConversion& wanted, const TLogArg& arg) {
        switch (wanted.type) {
        case u'd':
        case u'u':
        case u'x':
            return integer_text(wanted, arg);
        case u'e':
        case u'f':
        case u'g':
            return float_text(wanted, arg);
        case u'p':
            if (arg.kind() != TLogArg::Kind::Pointer)
                return std::nullopt;
            return QString::number(reinterpret_cast<std::uintptr_t>(arg.get<const void*>()), 16)
                .rightJustified(sizeof(void*) * 2, u'0')
                .toUpper();
        case u's':
            return string_text(wanted, arg);
        default:
            return std::nullopt;
        }
    }

    // Integers of 32 bits print as 32-bit values (so %x of -1 is FFFFFFFF), others as 64-bit.
    static std::optional<QString> integer_text(const TConversion& wanted, const TLogArg& arg) {
        bool narrow = false;
        bool is_unsigned = false;
        std::int64_t value = 0;
        switch (arg.kind()) {
        case TLogArg::Kind::Integer:
            value = arg.get<std::int32_t>();
            narrow = true;
            break;
        case TLogArg::Kind::Int64:
            value = arg.get<std::int64_t>();
            break;
        case TLogArg::Kind::UInt64:
            value = static_cast<std::int64_t>(arg.get<std::uint64_t>());
            is_unsigned = true;
            break;
        case TLogArg::Kind::Value: {
            const TLogValue& variant = arg.get<TLogValue>();
            if (variant.kind() == TLogValue::Kind::Float)
                value = std::llround(variant.as_float());
            else if (variant.kind() == TLogValue::Kind::Integer ||
                     variant.kind() == TLogValue::Kind::Custom)
                value = variant.as_integer();
            else if (variant.kind() == TLogValue::Kind::Boolean)
                value = variant.as_boolean() ? -1 : 0;
            else
                return std::nullopt;
            break;
        }
        default:
            return std::nullopt;
        }
        QString digits;
        bool negative = false;
        if (wanted.type == u'd' && !is_unsigned) {
            negative = value < 0;
            digits = QString::number(negative ? -static_cast<std::uint64_t>(value)
                                              : static_cast<std::uint64_t>(value));
        } else {
            const std::uint64_t bits =
                narrow ? static_cast<std::uint32_t>(value) : static_cast<std::uint64_t>(value);
            digits =
                wanted.type == u'x' ? QString::number(bits, 16).toUpper() : QString::number(bits);
        }
        const std::int32_t precision = wanted.precision.value_or(0);
        if (digits.size() < precision)
            digits.prepend(QString(precision - digits.size(), u'0'));
        return negative ? u'-' + digits : digits;
    }

    static std::optional<QString> float_text(const TConversion& wanted, const TLogArg& arg) {
        double value = 0;
        if (arg.kind() == TLogArg::Kind::Float) {
            value = arg.get<double>();
        } else if (arg.kind() == TLogArg::Kind::Value) {
            const TLogValue& variant = arg.get<TLogValue>();
            if (variant.kind() != TLogValue::Kind::Float &&
                variant.kind() != TLogValue::Kind::Integer)
                return std::nullopt;
            value = variant.as_float();
        } else {
            return std::nullopt;
        }
        switch (wanted.type) {
        case u'e':
            return float_exponent(value, wanted.precision.value_or(15));
        case u'f':
            return float_fixed(value, wanted.precision.value_or(2));
        default:
            return float_general(value, wanted.precision.value_or(15));
        }
    }

    static std::optional<QString> string_text(const TConversion& wanted, const TLogArg& arg) {
        QString text;
        switch (arg.kind()) {
        case TLogArg::Kind::Text:
            text = arg.get<QString>();
            break;
        case TLogArg::Kind::Char:
            text = arg.get<QChar>();
            break;
        case TLogArg::Kind::Value:
            text = arg.get<TLogValue>().as_text();
            break;
        default:
            return std::nullopt;
        }
        if (wanted.precision && text.size() > *wanted.precision)
            text.truncate(*wanted.precision);
        return text;
    }

    const QString& Fformat;
    TLogArgs Fargs;
    qsizetype Fpos = 0;
    std::size_t Fnext = 0;
};

bool is_white(QChar c) {
    return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ';
}

bool is_separator(QChar c) {
    return is_white(c) || c == u',' || c == u'.' || c == u':' || c == u';';
}

bool ends_name(QChar c) {
    return is_separator(c) || c == u'}';
}

} // namespace

QString safe_format(const QString& format, TLogArgs args) {
    if (format.isEmpty())
        return {};
    if (format.front() == u'{')
        return fmt(format, args);
    if (std::optional<QString> text = TFormatter(format, args).run())
        return *text;
    QString quoted = format;
    quoted.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("Fmt string '") + quoted + QStringLiteral("' doesn't match with ") +
           QString::number(args.size()) + QStringLiteral(" parameter's list.");
}

QString fmt(const QString& template_text, TLogArgs args) {
    const qsizetype size = template_text.size();
    qsizetype pos = 0;
    const auto skip = [&](auto&& predicate) {
        while (pos < size && predicate(template_text[pos]))
            ++pos;
    };
    const auto read_name = [&] {
        const qsizetype start = pos;
        while (pos < size && !ends_name(template_text[pos]))
            ++pos;
        return template_text.mid(start, pos - start);
    };

    skip(is_white);
    if (pos >= size || template_text[pos] != u'{')
        return QStringLiteral("fmt: invalid string format");
    ++pos;
    skip(is_white);

    QStringList names; // names[i] is bound to argument i
    while (pos < size && template_text[pos] != u'}' &&
           static_cast<std::size_t>(names.size()) < args.size()) {
        names.append(read_name());
        skip(is_separator);
    }
    // The header ends with its closing brace (names beyond the arguments are dropped).
    while (pos < size && template_text[pos] != u'}')
        ++pos;
    if (pos < size)
        ++pos;

    QString out;
    out.reserve(size - pos + 32);
    while (pos < size) {
        const QChar c = template_text[pos];
        if (c != u'{') {
            out += c;
            ++pos;
            continue;
        }
        ++pos;
        skip(is_white);
        const QString name = read_name();
        qsizetype bound = names.indexOf(name);
        if (bound < 0 && static_cast<std::size_t>(names.size()) < args.size()) {
            names.append(name);
            bound = names.size() - 1;
        }
        if (bound >= 0)
            out += args[static_cast<std::size_t>(bound)].as_text();
        skip(is_white);
        if (pos < size && template_text[pos] == u'}')
            ++pos;
    }
    return out;
}

QString duration_text(TDateTime span) {
    double days = std::trunc(span);
    std::int64_t milliseconds = std::llround((span - days) * 86400000.0);
    if (milliseconds >= 86400000) { // the fraction rounded up to a whole day
        days += 1;
        milliseconds -= 86400000;
    }
    span = days + static_cast<double>(milliseconds) / 86400000.0; // the span as printed
    const std::int64_t hours = milliseconds / 3600000;
    milliseconds %= 3600000;
    const std::int64_t minutes = milliseconds / 60000;
    milliseconds %= 60000;
    const std::int64_t seconds = milliseconds / 1000;
    milliseconds %= 1000;

    QString result;
    const auto prepend = [&result](const char* unit_format, std::int64_t value) {
        result = (safe_format(QString::fromLatin1(unit_format), {value}) + u' ' + result).trimmed();
    };
    if (milliseconds != 0)
        result = safe_format(QStringLiteral("%d millisecond(s)"), {milliseconds});
    if (seconds != 0 && span >= 1.0 / 86400)
        prepend("%d second(s)", seconds);
    if (minutes != 0 && span >= 1.0 / 1440)
        prepend("%d minute(s)", minutes);
    if (hours != 0 && span >= 1.0 / 24)
        prepend("%d hour(s)", hours);
    if (span >= 1.0)
        prepend("%d day(s)", static_cast<std::int64_t>(days));
    return result;
}

QString size_text(std::uint64_t bytes) {
    const double megabytes = static_cast<double>(bytes) / 1048576.0;
    if (bytes < 1048576)
        return safe_format(QStringLiteral("%1.2g %s"), {megabytes, "Mb."});
    return safe_format(QStringLiteral("%u %s"), {static_cast<std::uint64_t>(megabytes), "Mb."});
}

} // namespace zel
