#pragma once

#include <string>

namespace zel::platform {

// The whole content of a small text file of the system (/proc, /etc); empty when it cannot be
// read.
std::string read_text_file(const char* path);

} // namespace zel::platform
