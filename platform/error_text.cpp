#include "platform/error_text.h"

#include <cerrno>
#include <cstring>

namespace zel::platform {

std::string error_description(int error) {
    const char* text = ::strerrordesc_np(error);
    return text != nullptr ? text : std::string();
}

int last_error() noexcept {
    return errno;
}

} // namespace zel::platform
