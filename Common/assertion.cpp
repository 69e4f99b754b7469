#include "Common/assertion.h"

namespace zel {

namespace {

std::string describe(std::string_view message, std::string_view unit, int line) {
    std::string text(message);
    text += " (";
    text += unit;
    text += ", line ";
    text += std::to_string(line);
    text += ')';
    return text;
}

} // namespace

EAssertionFailed::EAssertionFailed(std::string_view message, std::string_view unit, int line)
    : std::logic_error(describe(message, unit, line))
    , Fmessage(message)
    , Funit(unit)
    , Fline(line) {}

void raise_assertion(std::string_view message, std::string_view unit, int line) {
    throw EAssertionFailed(message, unit, line);
}

} // namespace zel
