#include "log/core/exception_record.h"

#include <algorithm>

namespace zel {

bool same_exception(const TExceptionRecord& a, const TExceptionRecord& b) noexcept {
    if (a.ExceptionCode != b.ExceptionCode || a.ExceptionAddress != b.ExceptionAddress ||
        a.NumberParameters != b.NumberParameters)
        return false;
    const std::size_t count =
        std::min<std::size_t>(a.NumberParameters, TExceptionRecord::max_parameters);
    return std::equal(a.ExceptionInformation.begin(), a.ExceptionInformation.begin() + count,
                      b.ExceptionInformation.begin());
}

} // namespace zel
