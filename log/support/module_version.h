#pragma once

#include <QString>

namespace zel {

// A module is named by any address inside it (its code or data), the way a module handle is the
// module's load address; null stands for the program's executable.
using module_handle = const void*;

// Full path of the module, or of the program's executable for null.
QString get_module_file_name(module_handle module = nullptr);

// Whether the module is a shared library loaded by the executable.
bool module_is_library(module_handle module);

// Reads "FileVersion" of the first translation from the version record that zel_embed_version()
// puts into a program or library at build time. `file_name` empty means the program's
// executable. Without a record, or without a translation in it, the result is false and
// `version` is left as it was; with a translation but no such string, false and `version` empty.
bool get_file_version(const QString& file_name, QString& version);

// get_file_version of the module's file.
bool get_module_version(module_handle module, QString& version);

// The file version with every "," turned into "." and every space removed ("1, 0, 0, 4" gives
// "1.0.0.4"), or `default_version` when the file has none.
QString get_file_version_dotted(const QString& file_name, const QString& default_version);

} // namespace zel
