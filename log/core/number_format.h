#pragma once

#include <QString>

namespace zel {

// Floating-point texts in the invariant "en-US" style of the log's formatter: "." as decimal
// separator, no grouping, halves rounded away from zero on the shortest exact decimal digits,
// "NAN", "INF" and "-INF" for the special values.

// Fixed notation with `decimals` digits after the point ("%f").
QString float_fixed(double value, int decimals);
// Scientific notation with `digits` significant digits and a signed exponent of at least three
// digits, as in "1.50000000000000E+003" ("%e").
QString float_exponent(double value, int digits);
// The shorter of fixed and scientific notation with at most `digits` significant digits and no
// trailing zeros, as in "0.5", "1234.5" or "1.5E-7" ("%g").
QString float_general(double value, int digits);
// A number's default text: general notation with 15 significant digits.
QString float_to_text(double value);

} // namespace zel
