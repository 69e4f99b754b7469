#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zel {

// A programming error that ordinary input cannot reach, raised with a fixed message and the
// place in the source that detected it (callers pass __FILE__ and __LINE__).
class EAssertionFailed : public std::logic_error {
public:
    EAssertionFailed(std::string_view message, std::string_view unit, int line);

    const std::string& message() const noexcept { return Fmessage; }
    const std::string& unit() const noexcept { return Funit; }
    int line() const noexcept { return Fline; }

private:
    std::string Fmessage;
    std::string Funit;
    int Fline;
};

// Throws EAssertionFailed; its what() reads "<message> (<unit>, line <line>)".
[[noreturn]] void raise_assertion(std::string_view message, std::string_view unit, int line);

} // namespace zel
