#pragma once

#include <string>

namespace zel::platform {

// Character set of the locale the user's environment configures (LC_ALL, LC_CTYPE, LANG), such
// as "UTF-8" or "ISO-8859-15", independent of the process's own setlocale state: like a system
// code page, it is the same for every program of the session.
std::string locale_charset();

} // namespace zel::platform
