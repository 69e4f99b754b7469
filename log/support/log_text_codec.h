#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace zel {

// Log files and crash lists hold their text in the character set of the user's locale, without
// a byte-order mark; a character that set cannot hold becomes its substitute character. A C or
// POSIX locale (no character set chosen) counts as UTF-8, as it does for Qt itself.
QByteArray encode_log_text(QStringView text);

// Text of a log file or crash list: decoded by its byte-order mark (UTF-8, UTF-16 or UTF-32)
// when it has one, else in the locale's character set. Invalid bytes become replacement
// characters; nothing is refused.
QString decode_log_text(QByteArrayView bytes);

} // namespace zel
