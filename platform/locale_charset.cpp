#include "platform/locale_charset.h"

#include <clocale>
#include <langinfo.h>

namespace zel::platform {

std::string locale_charset() {
    locale_t locale = ::newlocale(LC_CTYPE_MASK, "", nullptr);
    if (locale == nullptr) // the environment names a locale that is not installed
        locale = ::newlocale(LC_CTYPE_MASK, "C", nullptr);
    if (locale == nullptr)
        return {};
    std::string charset = ::nl_langinfo_l(CODESET, locale);
    ::freelocale(locale);
    return charset;
}

} // namespace zel::platform
