#pragma once

namespace zel::platform {

// Whether the process's standard output is a terminal (a line can be redrawn in place).
bool standard_output_is_terminal();

} // namespace zel::platform
