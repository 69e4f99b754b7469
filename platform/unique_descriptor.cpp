#include "platform/unique_descriptor.h"

#include <unistd.h>

namespace zel::platform {

void unique_descriptor::reset(int value) noexcept {
    if (value_ >= 0)
        ::close(value_);
    value_ = value;
}

} // namespace zel::platform
