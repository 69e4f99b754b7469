#include "tools/zelrep/report_arguments.h"

namespace zel {

namespace {

bool is_option(const QString& argument) {
    return argument.startsWith(QLatin1Char('-')) || argument.startsWith(QLatin1Char('/'));
}

// The option's name without its leading "-" or "/", and its value after "=", if any.
void split_option(const QString& argument, QString& name, QString& value, bool& has_value) {
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    has_value = equals >= 0;
    name = argument.mid(1, has_value ? equals - 1 : -1).toLower();
    value = has_value ? argument.mid(equals + 1) : QString();
}

// A value that still carries its quotes (a launcher that did not split the Windows way).
QString unquoted(const QString& value) {
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

TReportArguments refused(const QString& error) {
    TReportArguments result;
    result.error = error;
    return result;
}

} // namespace

TReportArguments parse_report_arguments(const QStringList& arguments) {
    TReportArguments result;
    bool raw_report = false;
    bool have_path = false;
    bool in_comment = false;
    for (const QString& argument : arguments) {
        QString name;
        QString value;
        bool has_value = false;
        if (is_option(argument))
            split_option(argument, name, value, has_value);
        if (name == QLatin1String("raw_report") && !has_value) {
            raw_report = true;
        } else if (name == QLatin1String("report_path") && has_value) {
            result.report_path = unquoted(value);
            have_path = true;
        } else if (name == QLatin1String("comment") && has_value) {
            result.comment = unquoted(value);
            in_comment = true;
            continue;
        } else if (in_comment) {
            result.comment += QLatin1Char(' ') + argument; // the comment's own words
            continue;
        } else {
            return refused(is_option(argument)
                               ? QStringLiteral("unknown option: %1").arg(argument)
                               : QStringLiteral("unexpected argument: %1").arg(argument));
        }
        in_comment = false;
    }
    if (!raw_report)
        return refused(QStringLiteral("-raw_report is missing"));
    if (!have_path || result.report_path.isEmpty())
        return refused(QStringLiteral("/report_path=\"PATH\" is missing"));
    result.valid = true;
    return result;
}

QString report_usage() {
    return QStringLiteral("usage: zelrep -raw_report /report_path=\"PATH\" [/comment=\"TEXT\"]\n"
                          "Writes a system report for the support team into the file PATH.\n");
}

} // namespace zel
