// zel-send: sends one file to the support server from a terminal, without a display.
#include "app/cli/headless_sender.h"
#include "app/cli/send_arguments.h"
#include "log/core/log_unit.h"
#include "log/diagnostics/log_diagnostics.h"
#include "log/persistence/log_persistence.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ZEL send support file"));
    const zel::TSendArguments arguments =
        zel::parse_send_arguments(QCoreApplication::arguments().mid(1));
    if (arguments.help) {
        std::fputs(zel::send_usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!arguments.valid) {
        std::fprintf(stderr, "zel-send: %s\n%s", arguments.error.toLocal8Bit().constData(),
                     zel::send_usage().toLocal8Bit().constData());
        return 2;
    }
    zel::TLogUnit unit;
    zel::install_log_persistence();
    zel::install_log_diagnostics();
    const int status = zel::THeadlessSender(arguments).Run();
    unit.shutdown();
    return status;
}
