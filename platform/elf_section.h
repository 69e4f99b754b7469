#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zel::platform {

// Bytes of the section `name` of the ELF file at `path` (an executable or a shared library of
// this machine's byte order, 32 or 64 bit). Nothing when the file cannot be read, is no such ELF
// file, has no such section with contents, or the section exceeds `max_size`. The file is not
// trusted: every offset and size is checked against the file before it is used.
std::optional<std::string> read_elf_section(const std::string& path, std::string_view name,
                                            std::size_t max_size);

} // namespace zel::platform
