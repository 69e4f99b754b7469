#include "log/core/log_procedures.h"

namespace zel {

TDefaultLogRoot default_log_root;

// The root is read once: a reset on another thread cannot take it away between the test and
// the call.

void log_add(Tlog_kind kind, const QString& txt) {
    if (const ILogRootPtr root = default_log_root.load())
        root->add(kind, txt, nullptr, true);
}

void log_add_fmt(Tlog_kind kind, const QString& fmt, TLogArgs Params) {
    if (const ILogRootPtr root = default_log_root.load())
        root->add(kind, fmt, Params, nullptr, true);
}

} // namespace zel
