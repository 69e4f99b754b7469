#include "log/core/log_procedures.h"

namespace zel {

ILogRootPtr default_log_root;

void log_add(Tlog_kind kind, const QString& txt) {
    if (default_log_root)
        default_log_root->add(kind, txt, nullptr, true);
}

void log_add_fmt(Tlog_kind kind, const QString& fmt, TLogArgs Params) {
    if (default_log_root)
        default_log_root->add(kind, fmt, Params, nullptr, true);
}

} // namespace zel
