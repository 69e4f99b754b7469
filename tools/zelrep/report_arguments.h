#pragma once

#include <QString>
#include <QStringList>

namespace zel {

// What the report tool is asked to do:
//   zelrep -raw_report /report_path="PATH" /comment="TEXT"
// Option names are compared without regard to case and may start with "-" or "/". The sender
// does not escape quotes inside the comment, so a quote ends the quoted comment early and the
// rest reaches us as further arguments: those are joined back onto the comment.
struct TReportArguments {
    bool valid = false;
    QString report_path;
    QString comment;
    QString error; // why the command line was refused
};

// `arguments` without the program itself.
TReportArguments parse_report_arguments(const QStringList& arguments);

QString report_usage();

} // namespace zel
