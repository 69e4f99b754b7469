#pragma once

#include "log/core/log_interfaces.h"

#include <QString>

namespace zel {

// The events of a system report, added to `root`: the comment; the startup, processor, memory
// and command-line information; then what a support engineer asks for next, one group each:
// the operating system, the disks, the desktop session, the locale and time zone.
void add_report_events(const ILogRootPtr& root, const QString& comment);

} // namespace zel
