#pragma once

#include <QString>
#include <QStringList>

namespace zel {

// One command line taken apart by the Windows rules (CommandLineToArgvW): blanks and tabs part
// the arguments outside quotes; a double quote opens or closes a quoted part; inside quotes two
// quotes give one; 2n backslashes before a quote give n backslashes and the quote acts, 2n+1 give
// n backslashes and a literal quote; other backslashes stay as they are. The program (first
// argument) ends at its closing quote or at the first blank, backslashes there being literal.
QStringList split_command_line(const QString& command_line);

// `argument` written so that split_command_line gives it back unchanged, in double quotes.
QString quote_argument(const QString& argument);

// The program the first argument of an unquoted line names: when the line's first blank-parted
// words do not name an existing file, longer prefixes (with their blanks) are tried, the way
// Windows searches an unquoted path with blanks. `program` and `arguments` are set from the
// prefix that names a file; false when none does (then the plain split is given).
bool resolve_program(const QString& command_line, QString& program, QStringList& arguments);

} // namespace zel
