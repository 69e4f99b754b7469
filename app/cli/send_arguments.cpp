#include "app/cli/send_arguments.h"

#include <QFileInfo>

namespace zel {

namespace {

TSendArguments refused(const QString& error) {
    TSendArguments result;
    result.error = error;
    return result;
}

} // namespace

TSendArguments parse_send_arguments(const QStringList& arguments) {
    TSendArguments result;
    QStringList files;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const bool takes_value = argument == QLatin1String("--email") ||
                                 argument == QLatin1String("--contact") ||
                                 argument == QLatin1String("--timeout");
        if (takes_value && i + 1 >= arguments.size())
            return refused(QStringLiteral("%1 needs a value").arg(argument));
        if (argument == QLatin1String("--email")) {
            result.email = arguments.at(++i);
        } else if (argument == QLatin1String("--contact")) {
            result.contact = arguments.at(++i);
        } else if (argument == QLatin1String("--timeout")) {
            bool ok = false;
            result.timeout_seconds = arguments.at(++i).toInt(&ok);
            if (!ok || result.timeout_seconds <= 0)
                return refused(
                    QStringLiteral("--timeout needs a positive number of seconds, not: %1")
                        .arg(arguments.at(i)));
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            result.help = true;
            return result;
        } else if (argument == QLatin1String("--no-report")) {
            result.send_report = false;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return refused(QStringLiteral("unknown option: %1").arg(argument));
        } else {
            files << argument;
        }
    }
    if (result.email.isEmpty())
        return refused(QStringLiteral("--email ADDRESS is missing"));
    if (files.isEmpty())
        return refused(QStringLiteral("the FILE to send is missing"));
    if (files.size() > 1)
        return refused(QStringLiteral("one FILE at a time, not: %1").arg(files.join(u' ')));
    if (!QFileInfo(files.first()).isFile())
        return refused(QStringLiteral("no such file: %1").arg(files.first()));
    result.file = QFileInfo(files.first()).absoluteFilePath();
    result.valid = true;
    return result;
}

QString send_usage() {
    return QStringLiteral(
        "usage: zel-send --email ADDRESS [--contact NAME] [--no-report] [--timeout SECONDS] "
        "FILE\n"
        "Sends FILE to the ZEL support server into the folder ADDRESS, with a system report\n"
        "(unless --no-report) and the session log. Gives up when nothing moves for SECONDS\n"
        "(default 60). Exit status: 0 the file arrived whole (.OK), 1 it did not (.ERROR) or the\n"
        "send stopped, 2 bad arguments, 3 nothing moved within the time-out.\n");
}

} // namespace zel
