#pragma once

#include "log/core/log_arg.h"
#include "log/core/log_vocabulary.h"

#include <QString>

#include <cstdint>

namespace zel {

// Formats a log message and never throws. A format starting with "{" goes to fmt; any other is
// printf-style with the invariant "en-US" conventions: %[index:][-][width][.precision]type with
// the types d u x X e f g p s S (letter case does not matter; x gives upper-case digits), "*"
// taking a width or precision from the arguments, and %% for a percent sign. A missing argument,
// an argument of the wrong type or a malformed conversion gives
// "Fmt string '<format>' doesn't match with <n> parameter's list." instead.
QString safe_format(const QString& format, TLogArgs args);

// Named placeholders: "{a b}text {a} and {b}" binds the header's names to the arguments in order
// and replaces each {name} in the text by its argument's text (see TLogArg::as_text). A template
// that does not start with "{" gives "fmt: invalid string format".
QString fmt(const QString& template_text, TLogArgs args);

// A span of days as "1 day(s) 1 hour(s)", "1 minute(s) 30 second(s)", "2 second(s) 500
// millisecond(s)"; empty for zero.
QString duration_text(TDateTime span);

// A byte count in megabytes: "0.5 Mb." below one megabyte, "3 Mb." from there on.
QString size_text(std::uint64_t bytes);

} // namespace zel
