#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

namespace zel::test {

// Every file below `root`, by its path relative to it ("folder/name").
QHash<QString, QByteArray> files_below(const QString& root);

// The texts of every entry of a log file as the loader reads it back.
QStringList logged_texts(const QByteArray& log_file);

// The texts of every entry of the process's log so far.
QStringList session_texts();

// The remote log name of a send started today: [date]_[email] plus `extension`.
QString history_name(const QString& email, const QString& extension);

} // namespace zel::test
