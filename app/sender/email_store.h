#pragma once

#include <QString>

namespace zel {

// The last confirmed e-mail address, QSettings("ZEL", "ZelRep"), value "FtpEmailFolder" (the
// registry key HKCU\Software\ZEL\ZelRep on Windows). A missing value reads as empty.
QString read_stored_email();
// True when the value was written.
bool write_stored_email(const QString& email);

} // namespace zel
