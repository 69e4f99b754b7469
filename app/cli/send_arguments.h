#pragma once

#include <QString>
#include <QStringList>

namespace zel {

// zel-send --email ADDRESS [--contact NAME] [--no-report] [--timeout SECONDS] FILE
struct TSendArguments {
    bool valid = false;
    QString error;     // why the arguments were refused
    bool help = false; // --help: the usage is all that is asked for
    QString email;
    QString contact;
    bool send_report = true;
    int timeout_seconds = 60;
    QString file;
};

// `arguments` without the program itself. The file must exist and be a file.
TSendArguments parse_send_arguments(const QStringList& arguments);

QString send_usage();

} // namespace zel
