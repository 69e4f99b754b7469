// zelrep: the report tool that the sender runs before it uploads a support file.
//   zelrep -raw_report /report_path="PATH" /comment="TEXT"
// Exit status: 0 report written, 1 the report could not be written, 2 bad command line.
#include "log/core/log_unit.h"
#include "log/diagnostics/log_diagnostics.h"
#include "log/persistence/log_persistence.h"
#include "tools/zelrep/report_arguments.h"
#include "tools/zelrep/report_writer.h"

#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const zel::TReportArguments parsed = zel::parse_report_arguments(arguments);
    if (!parsed.valid) {
        std::fprintf(stderr, "zelrep: %s\n%s", parsed.error.toLocal8Bit().constData(),
                     zel::report_usage().toLocal8Bit().constData());
        return 2;
    }

    zel::TLogUnit unit;
    zel::install_log_persistence();
    zel::install_log_diagnostics();
    const bool written = zel::write_report(parsed.report_path, parsed.comment);
    unit.shutdown();
    if (!written) {
        std::fprintf(stderr, "zelrep: cannot write the report to %s\n",
                     parsed.report_path.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
