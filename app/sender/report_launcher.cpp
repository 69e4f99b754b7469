#include "app/sender/report_launcher.h"

#include "app/sender/command_line_split.h"
#include "log/core/log_procedures.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <exception>

namespace zel {

// The started process; stopped when the last reference goes while it still runs.
class TStartedProcess {
public:
    QProcess process;

    TStartedProcess() = default;
    TStartedProcess(const TStartedProcess&) = delete;
    TStartedProcess& operator=(const TStartedProcess&) = delete;
    ~TStartedProcess() { stop(); }

    bool running() const { return process.state() != QProcess::NotRunning; }
    void stop() {
        if (!running())
            return;
        process.kill();
        process.waitForFinished(-1);
    }
};

void start_process(const QString& command_line, int idle_timeout_ms, bool /*show*/,
                   TProcessInformation& process_information) {
    process_information = {};
    QString program;
    QStringList arguments;
    resolve_program(command_line, program, arguments);
    auto started = std::make_shared<TStartedProcess>();
    started->process.setProgram(program);
    started->process.setArguments(arguments);
    // The tool's own output is not ours to read; its errors still reach our standard error.
    started->process.setStandardOutputFile(QProcess::nullDevice());
    started->process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    started->process.start();
    // Being started is the nearest thing here to "waiting for input" of a windowed program.
    if (idle_timeout_ms >= 0 && !started->process.waitForStarted(idle_timeout_ms) &&
        !started->running())
        return;
    process_information.dwProcessId = started->process.processId();
    process_information.hProcess = std::move(started);
}

bool wait_for_process(const TProcessInformation& process_information, int time_limit_ms) {
    TStartedProcess* started = process_information.hProcess.get();
    if (started == nullptr)
        return true;
    QEventLoop loop;
    bool timed_out = false;
    QObject::connect(&started->process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&started->process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        timed_out = true;
        loop.quit();
    });
    if (time_limit_ms >= 0)
        limit.start(time_limit_ms);
    while (started->running() && !timed_out)
        loop.exec();
    return !timed_out;
}

void kill_process(const TProcessInformation& process_information) {
    if (process_information.hProcess)
        process_information.hProcess->stop();
}

bool create_raw_report(const QString& tool_path, const QString& report_path, const QString& comment,
                       int time_limit_ms) {
    if (!QFileInfo(tool_path).isFile())
        return false;
    try {
        // Every value is quoted, so that blanks, quotes and backslashes in the tool's folder,
        // the report path or the user's comment reach the tool as that one value.
        const QString command_line = quote_argument(tool_path) + QStringLiteral(" -raw_report") +
                                     QStringLiteral(" /report_path=") +
                                     quote_argument(report_path) + QStringLiteral(" /comment=") +
                                     quote_argument(comment);
        TProcessInformation process_information;
        start_process(command_line, 10000, false, process_information);
        if (!wait_for_process(process_information, time_limit_ms)) {
            log_add_fmt(LK_WARNING, "ZelRep still running after %d s: stopped",
                        {time_limit_ms / 1000});
            kill_process(process_information);
            QFile::remove(report_path); // a report cut short is no report
            return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace zel
