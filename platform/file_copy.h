#pragma once

#include <string>

namespace zel::platform {

// Copies a file's bytes in the kernel, creating or replacing `to`. 0 on success, else the errno
// value; a failed copy leaves no partial file under `to`.
int copy_file(const std::string& from, const std::string& to);

} // namespace zel::platform
