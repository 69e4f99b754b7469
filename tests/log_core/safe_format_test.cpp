#include "log/core/number_format.h"
#include "log/core/safe_format.h"
#include "tests/log_core/qt_print.h"

#include <gtest/gtest.h>

#include <limits>

namespace zel {
namespace {

struct FormatCase {
    const char* format;
    std::vector<TLogArg> args;
    const char* expected;
};

TEST(SafeFormat, Conversions) {
    int local = 0;
    const QString pointer_text = QString::number(reinterpret_cast<std::uintptr_t>(&local), 16)
                                     .rightJustified(16, '0')
                                     .toUpper();
    const std::vector<FormatCase> cases = {
        {"temporary folder created: %s", {QString("/tmp/x")}, "temporary folder created: /tmp/x"},
        {"%d|%5d|%-5d|%.3d|%.3d", {7, 42, 42, 5, -5}, "7|   42|42   |005|-005"},
        {"%u %u", {-1, std::uint64_t{18446744073709551615u}}, "4294967295 18446744073709551615"},
        {"%x %X %.8X %x", {255, 255, 255, -1}, "FF FF 000000FF FFFFFFFF"},
        {"%x", {std::int64_t{-1}}, "FFFFFFFFFFFFFFFF"},
        {"%f %.1f %.0f %.2f %.2f", {1.125, 3.25, 2.5, 0.15, 1.005}, "1.13 3.3 3 0.15 1.00"},
        {"%.1f %.1f", {0.15, -0.04}, "0.1 0.0"},
        {"%g %g %1.2g %g", {0.5, 1234.5, 0.000976, 1e20}, "0.5 1234.5 0.00098 1E20"},
        {"%1.2g %g", {9.5367431640625e-07, 123456789012345678.0}, "9.5E-7 1.23456789012346E17"},
        {"%e %.3e", {1000.0, -0.0015}, "1.00000000000000E+003 -1.50E-003"},
        {"%s %S %.2s %5s|%-4s|",
         {QString("a"), QString("b"), QString("abcdef"), QString("r"), QChar('c')},
         "a b ab     r|c   |"},
        {"%1:s %0:s %s", {QString("x"), QString("y")}, "y x y"},
        {"%*d|%-*d|%.*f", {4, 1, 3, 2, 1, 1.25}, "   1|2  |1.3"},
        {"100%% done%%", {}, "100% done%"},
        {"Memory Load  : %d%%", {std::uint32_t{42}}, "Memory Load  : 42%"},
        {"ticks %d value %d", {std::int64_t{1} << 40, TLogValue(7)}, "ticks 1099511627776 value 7"},
        {"%s", {TLogValue(true)}, "True"},
        {"nothing to convert", {1, 2}, "nothing to convert"},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(safe_format(c.format, c.args), QString(c.expected));
    }
    EXPECT_EQ(safe_format("%p", {static_cast<const void*>(&local)}), pointer_text);
}

TEST(SafeFormat, MismatchGivesTheExplanatoryText) {
    const std::vector<FormatCase> cases = {
        {"%d", {}, "Fmt string '%d' doesn't match with 0 parameter's list."},
        {"%d", {QString("x")}, "Fmt string '%d' doesn't match with 1 parameter's list."},
        {"%s", {1}, "Fmt string '%s' doesn't match with 1 parameter's list."},
        {"%f", {1}, "Fmt string '%f' doesn't match with 1 parameter's list."},
        {"%s", {true}, "Fmt string '%s' doesn't match with 1 parameter's list."},
        {"%p", {QString("x")}, "Fmt string '%p' doesn't match with 1 parameter's list."},
        {"it's %q", {1}, "Fmt string 'it''s %q' doesn't match with 1 parameter's list."},
        {"%1.2g trailing %",
         {0.5},
         "Fmt string '%1.2g trailing %' doesn't match with 1 parameter's list."},
        {"%s %s",
         {QString("only one")},
         "Fmt string '%s %s' doesn't match with 1 parameter's list."},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(safe_format(c.format, c.args), QString(c.expected));
    }
    EXPECT_TRUE(safe_format("", {1}).isEmpty());
}

TEST(SafeFormat, HugeWidthsAreBounded) {
    EXPECT_LE(safe_format("%999999999999d", {1}).size(), 1 << 20);
}

// A width or precision taken from an argument ("*") gives what the same number written in the
// format gives: capped alike, a negative width left-justifying and a negative precision ignored.
TEST(SafeFormat, StarCountsAreCappedLikeWrittenOnes) {
    struct StarCase {
        const char* star_format;
        std::vector<TLogArg> star_args;
        const char* written_format;
        std::vector<TLogArg> written_args;
    };
    const QString text("abcdef");
    const std::vector<StarCase> cases = {
        {"%*d", {100'000'000, 7}, "%100000000d", {7}},
        {"%*s", {200'000'000, text}, "%999999999999s", {text}},
        {"%.*d", {100'000'000, 7}, "%.100000000d", {7}},
        {"%.*x", {100'000'000, 255}, "%.100000000x", {255}},
        {"%.*s", {std::numeric_limits<std::int32_t>::max(), text}, "%.999999999999s", {text}},
        {"%.*f|%.*e|%.*g",
         {1'000'000'000, 1.5, 1'000'000'000, 1.5, 1'000'000'000, 1.5},
         "%.99f|%.99e|%.99g",
         {1.5, 1.5, 1.5}},
        {"%*d|", {-5, 42}, "%-5d|", {42}},
        {"%*s|", {std::numeric_limits<std::int32_t>::min(), text}, "%-999999999999s|", {text}},
        {"%.*s|%.*d", {-2, text, -3, 7}, "%s|%d", {text, 7}},
    };
    for (const StarCase& c : cases) {
        SCOPED_TRACE(c.star_format);
        const QString star = safe_format(c.star_format, c.star_args);
        const QString written = safe_format(c.written_format, c.written_args);
        // Sizes first, and no print of texts that may be megabytes long.
        EXPECT_EQ(star.size(), written.size());
        EXPECT_TRUE(star == written) << star.left(40).toStdString();
    }
}

TEST(Fmt, NamedPlaceholders) {
    const std::vector<FormatCase> cases = {
        {"{FileName}Logs loaded from path: \"{FileName}\"",
         {QString("/var/log")},
         "Logs loaded from path: \"/var/log\""},
        {"{a, b}{b} before {a}", {1, QString("two")}, "two before 1"},
        {"  {a}{ a }{unbound}{other}", {1, 2}, "12"},
        {"{a b c}{c}{a}", {1}, "1"},
        {"{x}flag {x} {ch} {p}", {true, QChar('z'), nullptr}, "flag -1 z 0x00000000h"},
        {"{f}{f}", {2.5}, "2.5"},
        {"no braces", {1}, "fmt: invalid string format"},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(fmt(c.format, c.args), QString(c.expected));
    }
    // A format starting with a brace takes the named route.
    EXPECT_EQ(safe_format("{n}count {n}", {3}), QString("count 3"));
}

TEST(DurationText, BuildsFromTheSmallestUnitUp) {
    struct Case {
        double seconds;
        const char* expected;
    };
    const Case cases[] = {
        {90, "1 minute(s) 30 second(s)"},
        {86400 + 3600, "1 day(s) 1 hour(s)"},
        {2.5, "2 second(s) 500 millisecond(s)"},
        {0, ""},
        {0.25, "250 millisecond(s)"},
        {3 * 86400 + 2 * 3600 + 60 + 1.001,
         "3 day(s) 2 hour(s) 1 minute(s) 1 second(s) 1 millisecond(s)"},
        {86400 - 0.0001, "1 day(s)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(duration_text(c.seconds / 86400), QString(c.expected));
    }
}

TEST(SizeText, MegabytesBelowAndAboveOne) {
    EXPECT_EQ(size_text(524288), QString("0.5 Mb."));
    EXPECT_EQ(size_text(3 * 1048576 + 1), QString("3 Mb."));
    EXPECT_EQ(size_text(0), QString("0 Mb."));
}

TEST(NumberFormat, SpecialValuesAndDefaultText) {
    EXPECT_EQ(float_to_text(0.1), QString("0.1"));
    EXPECT_EQ(float_to_text(-2.0), QString("-2"));
    EXPECT_EQ(float_to_text(0.00001), QString("0.00001"));
    EXPECT_EQ(float_to_text(0.000001), QString("1E-6"));
    EXPECT_EQ(float_fixed(std::numeric_limits<double>::quiet_NaN(), 2), QString("NAN"));
    EXPECT_EQ(float_general(-std::numeric_limits<double>::infinity(), 2), QString("-INF"));
    EXPECT_EQ(float_fixed(9.999, 2), QString("10.00"));
    EXPECT_EQ(float_exponent(0, 3), QString("0.00E+000"));
}

} // namespace
} // namespace zel
