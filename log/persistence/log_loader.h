#pragma once

#include "filesystem/byte_stream.h"
#include "log/core/log_interfaces.h"

#include <QByteArrayView>
#include <QString>

namespace zel {

// Reads logs back into a group, which receives one GK_READER sub-group per file, folder or crash
// list below it; the root's OnLogFileLoaded tells what each read found.
//
// `file_name` may name a log file, a folder (its files, and its sub-folders whose names do not
// start with ".", each in a sub-group of its own; a folder already being read further up is not
// entered again) or a ".crashlist" file (the logs it lists). A name that does not exist adds the
// error "File "<name>" does not exist"; a file that cannot be read (or is no regular file) gives
// false and adds nothing.
bool load_log_from_file(const ILogGroupPtr& group, const QString& file_name);

// Reads one log from the rest of `stream` into `group`, whose text becomes `caption`; false when
// the stream cannot be read.
bool load_log_from_stream(const ILogGroupPtr& group, TByteStream& stream, const QString& caption);

// Reads the bytes of one log file into `group`, whose text becomes `caption`. Any input ends:
// what cannot be taken apart is read as text, and a file with neither header nor usable line
// gives the error "Unable to load log".
bool load_log_from_bytes(const ILogGroupPtr& group, QByteArrayView bytes, const QString& caption);

} // namespace zel
