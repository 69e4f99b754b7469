#pragma once

#include <string>
#include <vector>

namespace zel::platform {

// The arguments this process was started with, the program itself first; empty when the
// system does not tell.
std::vector<std::string> command_line_arguments();

} // namespace zel::platform
