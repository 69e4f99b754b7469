#pragma once

#include <QString>

namespace zel {

// Writes the system report into the file `report_path` with the logging framework itself: a
// root whose one storage has that fixed file name, newest entry first, every kind written. The
// root becomes default_log_root (the logging unit releases it). True when the file was written
// and the session ended in it.
bool write_report(const QString& report_path, const QString& comment);

} // namespace zel
