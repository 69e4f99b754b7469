#include "app/sender/send_workflow.h"

#include "app/sender/deployment.h"
#include "app/sender/report_launcher.h"
#include "log/core/known_folders.h"
#include "log/core/log_procedures.h"
#include "log/support/module_version.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace zel {

namespace {

const QString sending_extension = QStringLiteral(".SENDING");
const QString report_file_name = QStringLiteral("report.zelrep");

QString today() {
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
}

// `file_name` with the text after its last dot replaced by `extension` (which holds its dot);
// a name without a dot gets the extension added.
QString with_extension(const QString& file_name, const QString& extension) {
    const qsizetype dot = file_name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? file_name : file_name.left(dot)) + extension;
}

// The extension of the outcome marker: whether the main file reached the server whole.
QString outcome_extension(bool main_file_fully_uploaded) {
    return main_file_fully_uploaded ? QStringLiteral(".OK") : QStringLiteral(".ERROR");
}

} // namespace

QString TSettings::FileNameToPublish() const {
    return QFileInfo(FFileToPublish).fileName();
}

QString THistoryPath::GetFileName() const {
    return QFileInfo(LocalPath).fileName();
}

QString THistoryPath::GetNameSending() const {
    const QString name = GetFileName();
    return name.isEmpty() ? QString() : with_extension(name, sending_extension);
}

TSendWorkflow::TSendWorkflow(TSendWorkflowView view)
    : TSendWorkflow(std::move(view), deployment_values()) {}

TSendWorkflow::TSendWorkflow(TSendWorkflowView view, const TDeployment& deployment)
    : FView(std::move(view))
    , FReportToolPath(known_folder_file(KF_EXECUTABLE, {}, QStringLiteral("zelrep"), false))
    , FReportToolTimeLimitMs(report_tool_time_limit_ms) {
    FormCreate(deployment);
}

TSendWorkflow::~TSendWorkflow() {
    FormDestroy();
}

void TSendWorkflow::FormCreate(const TDeployment& deployment) {
    FSettings = std::make_unique<TSettings>();
    if (!deployment.error.isEmpty())
        log_add_fmt(LK_ERROR, "deployment file not taken: %s", {deployment.error});

    const QString password = decipher_password(deployment.enciphered_password, deployment.key);
    FFtpCliMain = std::make_unique<TFptClientAsync>(default_log_root.load(), "FTP_main_file");
    FFtpCliMain->OnProgress = [this](TFptClientAsync& sender) { DoMainProgress(sender); };
    FFtpCliMain->SetServerSettings(deployment.host, deployment.port, deployment.user, password);

    FFtpCliLog = std::make_unique<TFptClientAsync>(default_log_root.load(), "FTP_log_file");
    FFtpCliLog->SetServerSettings(deployment.host, deployment.port, deployment.user, password);

    FWorkingPathTmp = known_folder_path(KF_PROGRAMDATA,
                                        QStringLiteral("zel/send_support_file/") + today(), false);
    if (!FWorkingPathTmp.isEmpty() && QDir().mkpath(FWorkingPathTmp))
        log_add_fmt(LK_DEBUG, "temporary folder created: %s", {FWorkingPathTmp});
    else
        log_add_fmt(LK_ERROR, "unable to create folder: %s", {FWorkingPathTmp});
}

void TSendWorkflow::FormDestroy() {
    FFtpCliMain.reset();
    FFtpCliLog.reset();
    FSettings.reset();
    // rmdir removes only an empty folder, and never its parents.
    if (!FWorkingPathTmp.isEmpty() && QDir().rmdir(FWorkingPathTmp))
        log_add_fmt(LK_DEBUG, "folder deleted: %s", {FWorkingPathTmp});
    else
        log_add_fmt(LK_WARNING, "unable to delete folder: %s", {FWorkingPathTmp});
}

void TSendWorkflow::SetFtpTimeout(int seconds) {
    FFtpCliMain->SetTimeout(seconds);
    FFtpCliLog->SetTimeout(seconds);
}

bool TSendWorkflow::SendFile(const QString& file_path) {
    FSettings->FFileToPublish = file_path;
    return StartSending();
}

bool TSendWorkflow::StartSending() {
    EnterStage(TSendStage::Asking);
    if (!FView.AskUserInfos || !FView.AskUserInfos(*FSettings)) {
        EnterStage(TSendStage::Idle);
        return false;
    }
    FHistoryPath.LocalPath =
        FWorkingPathTmp + today() + QLatin1Char('_') + FSettings->FEmail + QStringLiteral(".txt");
    FMainFileFullyUploaded = false;
    FReportSent = false;
    EnterStage(TSendStage::Sending);

    // The final-log handler of an earlier send must not take the end of this history upload
    // for the end of the send: it would delete the ".SENDING" file and announce completion.
    FFinalLogWaiting = false;
    FFtpCliLog->OnFinish = [this](TFptClientAsync& /*sender*/) { DoHistoryLogSent(); };
    FHistoryUploadRunning = FFtpCliLog->PutFile(CurrentLogFile(), FHistoryPath.GetNameSending(),
                                                QString(), QStringLiteral("/"));
    if (FHistoryUploadRunning)
        log_add(LK_INFO, "FTP History log file added");
    else
        log_add(LK_ERROR, "FTP History log file cannot be added");

    FFtpCliMain->OnFinish = [this](TFptClientAsync& sender) { DoMainFileSent(sender); };
    const QString file_name = FSettings->FileNameToPublish();
    if (FFtpCliMain->PutFile(FSettings->FFileToPublish, file_name, QString(), FSettings->FEmail)) {
        log_add_fmt(LK_INFO, "Starting to send main file: %s", {file_name});
    } else {
        log_add_fmt(LK_ERROR, "Unable to send main file: %s", {file_name});
        EnterStage(TSendStage::Stopped);
    }
    return true;
}

void TSendWorkflow::DoMainProgress(TFptClientAsync& Sender) {
    // The current rounding mode rounds halves to even.
    FProgressPosition = static_cast<int>(std::lrint(Sender.Progress()));
    SetCaption(QString::number(FProgressPosition) + QLatin1Char('%'));
}

void TSendWorkflow::DoMainFileSent(TFptClientAsync& Sender) {
    const QString uploaded = QStringLiteral("Main file uploaded...");
    SetCaption(uploaded);
    log_add(LK_INFO, uploaded);
    FMainFileFullyUploaded = Sender.Completed();
    const bool next_started = FSettings->FFtpSendLogFiles ? SendReport() : SendFinalLog();
    if (!next_started)
        EnterStage(TSendStage::Stopped);
}

bool TSendWorkflow::SendReport() {
    EnterStage(TSendStage::Reporting);
    if (!QFileInfo(FReportToolPath).isFile()) {
        log_add(LK_WARNING, "Cannot create ZelRep report as the EXE is not existing");
        return false;
    }
    const QString report_path = FWorkingPathTmp + report_file_name;
    // A report left by an earlier send must not go out in place of this one.
    QFile::remove(report_path);
    const QString comment = QStringLiteral("Customer email: ") + FSettings->FEmail +
                            QStringLiteral(" | Contacted person: ") + FSettings->FZelContact;
    if (!create_raw_report(FReportToolPath, report_path, comment, FReportToolTimeLimitMs)) {
        log_add(LK_WARNING, "Unable to create Zelrep");
        return false;
    }
    log_add(LK_INFO, "ZelRep successfully created");
    log_add(LK_INFO, "Starting to send ZelRep report...");
    FFtpCliMain->OnFinish = [this](TFptClientAsync& sender) { DoReportSent(sender); };
    return FFtpCliMain->PutFile(report_path, report_file_name, QString(), FSettings->FEmail);
}

void TSendWorkflow::DoReportSent(TFptClientAsync& Sender) {
    FReportSent = Sender.Completed();
    if (FReportSent)
        log_add(LK_INFO, "ZelRep uploaded");
    else
        log_add(LK_WARNING, "unable to upload ZelRep");
    if (!SendFinalLog())
        EnterStage(TSendStage::Stopped);
}

bool TSendWorkflow::SendFinalLog() {
    EnterStage(TSendStage::Closing);
    if (FHistoryUploadRunning) {
        FFinalLogWaiting = true;
        return true;
    }
    return StartFinalLogUpload();
}

void TSendWorkflow::DoHistoryLogSent() {
    FHistoryUploadRunning = false;
    if (!FFinalLogWaiting)
        return;
    FFinalLogWaiting = false;
    if (!StartFinalLogUpload())
        EnterStage(TSendStage::Stopped);
}

bool TSendWorkflow::StartFinalLogUpload() {
    const QString remote_name =
        with_extension(FHistoryPath.GetFileName(), outcome_extension(FMainFileFullyUploaded));
    FFtpCliLog->OnFinish = [this](TFptClientAsync& sender) { DoFinalLogSent(sender); };
    const bool started =
        FFtpCliLog->PutFile(CurrentLogFile(), remote_name, QString(), QStringLiteral("/"));
    if (!started)
        log_add_fmt(LK_ERROR, "unable to upload log file: %s", {FHistoryPath.GetNameSending()});
    return started;
}

void TSendWorkflow::DoFinalLogSent(TFptClientAsync& Sender) {
    TSendOutcome outcome;
    outcome.MainFileFullyUploaded = FMainFileFullyUploaded;
    outcome.FinalLogUploaded = Sender.Completed();
    outcome.OutcomeExtension = outcome_extension(FMainFileFullyUploaded);
    outcome.OutcomePath =
        QLatin1Char('/') + with_extension(FHistoryPath.GetFileName(), outcome.OutcomeExtension);
    outcome.MainFilePath = FSettings->FEmail + QLatin1Char('/') + FSettings->FileNameToPublish();
    if (FReportSent)
        outcome.ReportPath = FSettings->FEmail + QLatin1Char('/') + report_file_name;

    log_add(LK_INFO, "final log uploaded");
    const QString sending_name = FHistoryPath.GetNameSending();
    if (!FFtpCliLog->FtpDelete(sending_name))
        log_add_fmt(LK_WARNING, "unable to delete log file: %s", {sending_name});
    const QString completed = QStringLiteral("transfer completed");
    SetCaption(completed);
    log_add(LK_IMPORTANT, completed);
    if (FView.SendFinished)
        FView.SendFinished(outcome);
    EnterStage(TSendStage::Done);
}

QString TSendWorkflow::CurrentLogFile() const {
    return FView.CurrentLogFile ? FView.CurrentLogFile() : QString();
}

void TSendWorkflow::SetCaption(const QString& caption) {
    FProgressCaption = caption;
    if (FView.ShowProgress)
        FView.ShowProgress(FProgressPosition, FProgressCaption);
}

void TSendWorkflow::EnterStage(TSendStage stage) {
    FStage = stage;
    if (FView.StageChanged)
        FView.StageChanged(stage);
}

} // namespace zel
