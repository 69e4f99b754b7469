#pragma once

#include "log/core/log_interfaces.h"

#include <QString>

namespace zel {

// The process-wide root, null until the log configuration creates it. It is written only during
// start-up and shutdown, on the main thread, and read by any thread without a lock.
extern ILogRootPtr default_log_root;

// Adds a message to default_log_root; does nothing while there is no root.
void log_add(Tlog_kind kind, const QString& txt);

// Adds a formatted message (safe_format: printf-style, or named placeholders when `fmt` starts
// with "{"; a mismatch gives an explanatory text) to default_log_root; nothing without a root.
void log_add_fmt(Tlog_kind kind, const QString& fmt, TLogArgs Params);

} // namespace zel
