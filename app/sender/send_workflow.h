#pragma once

#include "ftp/ftp_client_async.h"

#include <QString>

#include <functional>
#include <memory>

namespace zel {

struct TDeployment;

// What the user chose and entered for one send.
struct TSettings {
    QString FEmail;               // also the remote folder of the file and the report
    bool FFtpSendLogFiles = true; // the report stage runs
    QString FFileToPublish;       // full path of the chosen file
    QString FZelContact;          // goes into the report comment

    // The file-name part of FFileToPublish.
    QString FileNameToPublish() const;
};

// The local history name from which the remote log names are derived; no file is made there.
struct THistoryPath {
    QString LocalPath; // [working folder][date]_[e-mail].txt

    QString GetFileName() const;
    // GetFileName with only its last extension replaced by ".SENDING"; empty for an empty name.
    QString GetNameSending() const;
};

// Where a send stands. Stopped: the workflow ended before its outcome marker (an upload refused
// at its start, the report tool missing or failed); Done: the final log has been uploaded.
enum class TSendStage { Idle, Asking, Sending, Reporting, Closing, Done, Stopped };

// The end of a send, for the view's closing message. Paths are as the FTP account sees them.
struct TSendOutcome {
    bool MainFileFullyUploaded = false;
    bool FinalLogUploaded = false; // the outcome marker passed its own size check
    QString OutcomeExtension;      // ".OK" or ".ERROR"
    QString OutcomePath;           // "/[date]_[e-mail].OK"
    QString MainFilePath;          // "[e-mail]/[file]"
    QString ReportPath;            // "[e-mail]/report.zelrep", empty when no report was sent
};

// What the workflow needs from the window or the terminal front end that shows it.
struct TSendWorkflowView {
    // Asks for the e-mail address, the contact and the report switch; true when confirmed.
    std::function<bool(TSettings& settings)> AskUserInfos;
    // Full name of the session log file being written; empty when there is none.
    std::function<QString()> CurrentLogFile;
    // The bar's position (0..100) and its centred caption ("42%", "Main file uploaded...",
    // "transfer completed").
    std::function<void(int position, const QString& caption)> ShowProgress;
    // Each stage entered.
    std::function<void(TSendStage stage)> StageChanged;
    // Once per send that reaches Done, before StageChanged(Done).
    std::function<void(const TSendOutcome& outcome)> SendFinished;
};

// The send workflow: a chain of stages on two upload clients, each stage started by the
// previous one's completion callback, everything on the thread that owns the workflow (the
// GUI thread). Knows no widgets: the view is reached through TSendWorkflowView. Every message
// goes through log_add / log_add_fmt to default_log_root, which must exist before creation.
class TSendWorkflow {
public:
    // Window creation: the settings, both upload clients with the deployment's server settings
    // (deployment_values() when none is given) and the dated working folder.
    explicit TSendWorkflow(TSendWorkflowView view);
    TSendWorkflow(TSendWorkflowView view, const TDeployment& deployment);
    // Window destruction: frees the clients, removes the working folder when it is empty.
    ~TSendWorkflow();
    TSendWorkflow(const TSendWorkflow&) = delete;
    TSendWorkflow& operator=(const TSendWorkflow&) = delete;

    // The file choice: stores the chosen path and calls StartSending.
    bool SendFile(const QString& file_path);
    // Asks for the user information, derives the history name, starts the history-log upload
    // and the main-file upload; true when the user confirmed.
    bool StartSending();

    const TSettings& Settings() const { return *FSettings; }
    TSettings& Settings() { return *FSettings; }
    const THistoryPath& HistoryPath() const { return FHistoryPath; }
    const QString& WorkingPathTmp() const { return FWorkingPathTmp; }
    bool MainFileFullyUploaded() const { return FMainFileFullyUploaded; }
    TSendStage Stage() const { return FStage; }
    int ProgressPosition() const { return FProgressPosition; }
    const QString& ProgressCaption() const { return FProgressCaption; }

    // The report tool: "zelrep" beside the running program unless set otherwise.
    const QString& ReportToolPath() const { return FReportToolPath; }
    void SetReportToolPath(const QString& path) { FReportToolPath = path; }
    // Upper limit of the report tool's run, in ms; a tool still running then is stopped.
    void SetReportToolTimeLimit(int ms) { FReportToolTimeLimitMs = ms; }

    // Limit in seconds of each synchronous FTP request of both clients.
    void SetFtpTimeout(int seconds);

private:
    void FormCreate(const TDeployment& deployment);
    void FormDestroy();
    void DoMainProgress(TFptClientAsync& Sender);
    void DoMainFileSent(TFptClientAsync& Sender);
    bool SendReport();
    void DoReportSent(TFptClientAsync& Sender);
    bool SendFinalLog();
    bool StartFinalLogUpload();
    void DoHistoryLogSent();
    void DoFinalLogSent(TFptClientAsync& Sender);

    QString CurrentLogFile() const;
    void SetCaption(const QString& caption);
    void EnterStage(TSendStage stage);

    TSendWorkflowView FView;
    std::unique_ptr<TFptClientAsync> FFtpCliMain;
    QString FWorkingPathTmp;
    std::unique_ptr<TFptClientAsync> FFtpCliLog;
    THistoryPath FHistoryPath;
    bool FMainFileFullyUploaded = false;
    std::unique_ptr<TSettings> FSettings;

    QString FReportToolPath;
    int FReportToolTimeLimitMs;
    bool FReportSent = false;
    // A second put on the log client aborts the upload it runs, even from inside one of that
    // upload's own synchronous requests: the final log waits for the history upload's end.
    bool FHistoryUploadRunning = false;
    bool FFinalLogWaiting = false;
    TSendStage FStage = TSendStage::Idle;
    int FProgressPosition = 0;
    QString FProgressCaption;
};

} // namespace zel
