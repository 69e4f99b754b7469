#include "platform/terminal.h"

#include <unistd.h>

namespace zel::platform {

bool standard_output_is_terminal() {
    return isatty(STDOUT_FILENO) == 1;
}

} // namespace zel::platform
