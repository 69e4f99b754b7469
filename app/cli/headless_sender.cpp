#include "app/cli/headless_sender.h"

#include "app/sender/send_workflow.h"
#include "ftp/ftp_client.h"
#include "log/core/log_procedures.h"
#include "log/persistence/log_config.h"
#include "platform/terminal.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace zel {

namespace {

enum TExitStatus { exit_ok = 0, exit_failed = 1, exit_silent = 3 };

} // namespace

THeadlessSender::THeadlessSender(TSendArguments arguments)
    : FArguments(std::move(arguments))
    , FTerminal(platform::standard_output_is_terminal()) {}

void THeadlessSender::Print(const QString& line) {
    if (FLineOpen)
        std::fputs("\n", stdout);
    FLineOpen = false;
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void THeadlessSender::ShowProgress(const QString& caption) {
    if (caption == FLastCaption)
        return;
    FLastCaption = caption;
    if (!FTerminal) {
        Print(QStringLiteral("progress: ") + caption);
        return;
    }
    std::fputs((QStringLiteral("\r\033[Kprogress: ") + caption).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    FLineOpen = true;
}

int THeadlessSender::Run() {
    const std::unique_ptr<TLog_config> log_config = main_window_log_config();
    log_config->Loaded();
    TLogStorage_config* const log_storage = log_config->storages().storage(0);

    int status = exit_failed;
    QString last_error;
    QString last_problem; // the latest error or warning
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(FArguments.timeout_seconds * 1000);
    QThread* const own_thread = QThread::currentThread();
    // Every event of the session, the protocol texts included, shows that the send moves.
    // The workflow and the upload clients log on this thread; an event of another thread is
    // not what this watch is about.
    default_log_root->set_OnAdded([&](const void*, const ILogEventPtr& entry) {
        if (QThread::currentThread() != own_thread)
            return;
        if (entry->log_type() == LK_ERROR)
            last_error = entry->text();
        if (entry->log_type() == LK_ERROR || entry->log_type() == LK_WARNING)
            last_problem = entry->text();
        if (idle.isActive())
            idle.start();
    });
    QObject::connect(&idle, &QTimer::timeout, [&] {
        QString line = QStringLiteral("zel-send: nothing moved for %1 s (the server cannot be "
                                      "reached or does not answer); last error: \"%2\"")
                           .arg(FArguments.timeout_seconds)
                           .arg(last_error.isEmpty() ? QStringLiteral("none logged") : last_error);
        if (!last_problem.isEmpty() && last_problem != last_error)
            line += QStringLiteral(", then: \"%1\"").arg(last_problem);
        Print(line);
        status = exit_silent;
        QCoreApplication::exit(status);
    });

    TSendWorkflowView view;
    view.AskUserInfos = [this](TSettings& settings) {
        settings.FEmail = FArguments.email;
        settings.FZelContact = FArguments.contact;
        settings.FFtpSendLogFiles = FArguments.send_report;
        return true;
    };
    view.CurrentLogFile = [log_storage] {
        return log_storage != nullptr ? log_storage->fq_filename() : QString();
    };
    view.ShowProgress = [&](int, const QString& caption) {
        ShowProgress(caption);
        if (idle.isActive())
            idle.start();
    };
    view.SendFinished = [&](const TSendOutcome& outcome) {
        const bool ok = outcome.MainFileFullyUploaded && outcome.FinalLogUploaded;
        QString line =
            QStringLiteral("zel-send: outcome %1: %2%3; file %4; report %5")
                .arg(outcome.OutcomeExtension, outcome.OutcomePath,
                     outcome.FinalLogUploaded ? QString() : QStringLiteral(" (not uploaded)"),
                     outcome.MainFilePath,
                     outcome.ReportPath.isEmpty() ? QStringLiteral("none") : outcome.ReportPath);
        Print(line);
        status = ok ? exit_ok : exit_failed;
    };
    view.StageChanged = [&](TSendStage stage) {
        // The report tool's run has a bound of its own and logs nothing while it runs.
        if (stage == TSendStage::Reporting)
            idle.stop();
        else
            idle.start();
        if (stage == TSendStage::Done) {
            QCoreApplication::exit(status);
        } else if (stage == TSendStage::Stopped) {
            Print(QStringLiteral("zel-send: the send stopped before its outcome marker: \"%1\"")
                      .arg(last_problem));
            status = exit_failed;
            QCoreApplication::exit(status);
        }
    };

    {
        TSendWorkflow workflow(view);
        // An FTP request never outlasts the time-out of the whole send.
        workflow.SetFtpTimeout(std::min(default_ftp_timeout_s, FArguments.timeout_seconds));
        Print(QStringLiteral("zel-send: sending %1 to %2, session log %3")
                  .arg(FArguments.file, FArguments.email, view.CurrentLogFile()));
        QTimer::singleShot(0, [&] { workflow.SendFile(FArguments.file); });
        QCoreApplication::exec();
    }
    default_log_root->set_OnAdded(nullptr);
    if (FLineOpen)
        Print(QString());
    return status;
}

} // namespace zel
