#pragma once

#include "log/core/log_storage_interface.h"

#include <QString>

namespace zel {

class TLogRoot;

// The one routine that touches the crash-list file: under a lock shared by every process that
// uses the same crash-list name, it merges the file into the root's in-memory list, attaches
// `src` to its line (adding) or removes its line and deletes its log file (not adding), and
// rewrites the file whole, or deletes it when no line is left. False when the file could not
// be reached; nothing changes then.
bool sync_crash_list(TLogRoot& root, const ILogStoragePtr& src, bool adding);

// "<module file name>:<process id>=<full log file name>"
QString crash_line(const ILogStorage& storage);

// The lock file that stands for the crash-list file `list_file`: a hidden file beside it, so
// that every process that rewrites the list takes the same lock, whatever its environment.
QString crash_list_lock_path(const QString& list_file);

} // namespace zel
