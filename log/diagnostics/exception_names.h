#pragma once

#include "log/core/exception_record.h"

#include <QString>

#include <cstdint>

namespace zel {

// Exception codes of the language runtime: a C++ exception seen when it is thrown carries
// these parameters: 0 the throw address, 1 the exception object, 2 its std::type_info.
inline constexpr std::uint32_t runtime_exception_code = 0x0EEDFADE;
inline constexpr std::uint32_t runtime_exception_code_alt = 0x0EEFFACE;

// The name an exception event gives `record`: for a runtime exception with its object, the
// object's message + " in " + its type; else the name of the code ("Access violation"), the
// system's text for it, or "Code 0x%.8Xh".
QString exception_name(const TExceptionRecord& record);

} // namespace zel
