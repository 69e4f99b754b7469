#include "log/core/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

namespace zel {

namespace {

// value = (negative ? -1 : 1) * 0.d1d2d3... * 10^exponent; no digits for zero.
struct TDecimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

// The first 17 significant digits of `value`'s exact binary value: enough to tell any two
// doubles apart, and rounding from them treats 0.15 (stored as 0.1499...) as below a half.
TDecimal to_decimal(double value) {
    TDecimal result;
    result.negative = std::signbit(value);
    value = std::fabs(value);
    if (value == 0.0)
        return result;
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 16);
    const std::string text(buffer, error == std::errc() ? end : buffer);
    const std::size_t e = text.find('e');
    for (std::size_t i = 0; i < e; ++i)
        if (text[i] != '.')
            result.digits += text[i];
    result.exponent = std::atoi(text.c_str() + e + 1) + 1;
    while (!result.digits.empty() && result.digits.back() == '0')
        result.digits.pop_back();
    return result;
}

// Keeps `count` leading digits, rounding half away from zero (count <= 0 may round up to one
// digit at the next position or leave nothing).
void round_to(TDecimal& decimal, int count) {
    if (count < 0) {
        decimal.digits.clear();
        return;
    }
    if (static_cast<std::size_t>(count) >= decimal.digits.size())
        return;
    const bool up = decimal.digits[static_cast<std::size_t>(count)] >= '5';
    decimal.digits.resize(static_cast<std::size_t>(count));
    if (up) {
        int i = count - 1;
        while (i >= 0 && decimal.digits[static_cast<std::size_t>(i)] == '9') {
            decimal.digits.pop_back();
            --i;
        }
        if (i < 0) {
            decimal.digits = "1";
            ++decimal.exponent;
        } else {
            ++decimal.digits[static_cast<std::size_t>(i)];
        }
    }
    while (!decimal.digits.empty() && decimal.digits.back() == '0')
        decimal.digits.pop_back();
}

char digit_at(const TDecimal& decimal, int position) {
    return position >= 0 && static_cast<std::size_t>(position) < decimal.digits.size()
               ? decimal.digits[static_cast<std::size_t>(position)]
               : '0';
}

// Digits laid out with the point after `exponent` digits and `decimals` digits after it.
std::string fixed_digits(const TDecimal& decimal, int decimals) {
    std::string text;
    if (decimal.exponent <= 0) {
        text = "0";
    } else {
        for (int i = 0; i < decimal.exponent; ++i)
            text += digit_at(decimal, i);
    }
    if (decimals > 0) {
        text += '.';
        for (int i = 0; i < decimals; ++i)
            text += digit_at(decimal, decimal.exponent + i);
    }
    return text;
}

std::string exponent_text(int exponent, bool always_signed, int min_digits) {
    std::string digits = std::to_string(std::abs(exponent));
    if (static_cast<int>(digits.size()) < min_digits)
        digits.insert(0, static_cast<std::size_t>(min_digits) - digits.size(), '0');
    if (exponent < 0)
        return "-" + digits;
    return always_signed ? "+" + digits : digits;
}

std::optional<QString> special(double value) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    return std::nullopt;
}

QString signed_text(const TDecimal& decimal, const std::string& body) {
    const bool minus = decimal.negative && !decimal.digits.empty();
    return QString::fromLatin1((minus ? "-" : "") + body);
}

} // namespace

QString float_fixed(double value, int decimals) {
    if (std::optional<QString> text = special(value))
        return *text;
    decimals = std::clamp(decimals, 0, 18);
    TDecimal decimal = to_decimal(value);
    round_to(decimal, decimal.exponent + decimals);
    return signed_text(decimal, fixed_digits(decimal, decimals));
}

QString float_exponent(double value, int digits) {
    if (std::optional<QString> text = special(value))
        return *text;
    digits = std::clamp(digits, 1, 18);
    TDecimal decimal = to_decimal(value);
    round_to(decimal, digits);
    std::string body(1, digit_at(decimal, 0));
    if (digits > 1) {
        body += '.';
        for (int i = 1; i < digits; ++i)
            body += digit_at(decimal, i);
    }
    const int exponent = decimal.digits.empty() ? 0 : decimal.exponent - 1;
    body += "E" + exponent_text(exponent, true, 3);
    return signed_text(decimal, body);
}

QString float_general(double value, int digits) {
    if (std::optional<QString> text = special(value))
        return *text;
    digits = std::clamp(digits, 1, 18);
    TDecimal decimal = to_decimal(value);
    round_to(decimal, digits);
    if (decimal.digits.empty())
        return QStringLiteral("0");
    const int exponent = decimal.exponent - 1;
    const int count = static_cast<int>(decimal.digits.size());
    std::string body;
    if (exponent < digits && exponent >= -5) {
        body = fixed_digits(decimal, std::max(count - decimal.exponent, 0));
    } else {
        body = decimal.digits.substr(0, 1);
        if (count > 1)
            body += "." + decimal.digits.substr(1);
        body += "E" + exponent_text(exponent, false, 1);
    }
    return signed_text(decimal, body);
}

QString float_to_text(double value) {
    return float_general(value, 15);
}

} // namespace zel
