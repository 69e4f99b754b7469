#include "app/sender/command_line_split.h"

#include <QFileInfo>

namespace zel {

namespace {

bool is_blank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

qsizetype skip_blanks(QStringView line, qsizetype at) {
    while (at < line.size() && is_blank(line.at(at)))
        ++at;
    return at;
}

// The program: up to the closing quote when it opens with one, else up to the first blank;
// backslashes are plain characters here. `at` is left after it.
QString read_program(QStringView line, qsizetype& at) {
    QString program;
    if (at < line.size() && line.at(at) == QLatin1Char('"')) {
        const qsizetype close = line.indexOf(QLatin1Char('"'), at + 1);
        const qsizetype end = close < 0 ? line.size() : close;
        program = line.mid(at + 1, end - at - 1).toString();
        at = close < 0 ? end : close + 1;
    } else {
        const qsizetype start = at;
        while (at < line.size() && !is_blank(line.at(at)))
            ++at;
        program = line.mid(start, at - start).toString();
    }
    return program;
}

// The arguments after the program, by the backslash and quote rules.
QStringList split_arguments(QStringView line, qsizetype at) {
    QStringList arguments;
    at = skip_blanks(line, at);
    while (at < line.size()) {
        QString argument;
        bool quoted = false;
        while (at < line.size() && (quoted || !is_blank(line.at(at)))) {
            qsizetype backslashes = 0;
            while (at < line.size() && line.at(at) == QLatin1Char('\\')) {
                ++backslashes;
                ++at;
            }
            if (at < line.size() && line.at(at) == QLatin1Char('"')) {
                argument += QString(backslashes / 2, QLatin1Char('\\'));
                if (backslashes % 2 == 1) {
                    argument += QLatin1Char('"');
                } else if (quoted && at + 1 < line.size() && line.at(at + 1) == QLatin1Char('"')) {
                    argument += QLatin1Char('"'); // "" inside quotes
                    ++at;
                } else {
                    quoted = !quoted;
                }
                ++at;
            } else {
                argument += QString(backslashes, QLatin1Char('\\'));
                if (at < line.size() && (quoted || !is_blank(line.at(at)))) {
                    argument += line.at(at);
                    ++at;
                }
            }
        }
        arguments << argument;
        at = skip_blanks(line, at);
    }
    return arguments;
}

} // namespace

QStringList split_command_line(const QString& command_line) {
    qsizetype at = skip_blanks(command_line, 0);
    if (at >= command_line.size())
        return {};
    QStringList parts{read_program(command_line, at)};
    parts << split_arguments(command_line, at);
    return parts;
}

QString quote_argument(const QString& argument) {
    QString quoted = QStringLiteral("\"");
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        if (c == QLatin1Char('"'))
            quoted += QString(backslashes * 2 + 1, QLatin1Char('\\'));
        else
            quoted += QString(backslashes, QLatin1Char('\\'));
        backslashes = 0;
        quoted += c;
    }
    quoted += QString(backslashes * 2, QLatin1Char('\\'));
    quoted += QLatin1Char('"');
    return quoted;
}

bool resolve_program(const QString& command_line, QString& program, QStringList& arguments) {
    const qsizetype start = skip_blanks(command_line, 0);
    const QStringList plain = split_command_line(command_line);
    program = plain.value(0);
    arguments = plain.mid(1);
    if (QFileInfo(program).isFile())
        return true;
    if (start >= command_line.size() || command_line.at(start) == QLatin1Char('"'))
        return false;
    for (qsizetype blank = command_line.indexOf(QLatin1Char(' '), start); blank >= 0;
         blank = command_line.indexOf(QLatin1Char(' '), blank + 1)) {
        const QString prefix = command_line.mid(start, blank - start);
        if (QFileInfo(prefix).isFile()) {
            program = prefix;
            arguments = split_arguments(command_line, blank);
            return true;
        }
    }
    return false;
}

} // namespace zel
