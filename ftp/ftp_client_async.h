#pragma once

#include "ftp/ftp_client.h"
#include "ftp/local_copy.h"
#include "log/core/log_interfaces.h"

#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

namespace zel {

// Puts one local file on the FTP server safely: a local temporary copy is uploaded under a
// temporary remote name, its size is checked, and only then does it get its final name (or is
// deleted). The copy is made in the process's private folder while the session opens, and the
// transfer sends only what is already copied. The request chain advances in the engine's
// request-done events on the owning thread; every step is written to the client's log group,
// the protocol texts to its "ftp" child group. OnProgress comes at most once per turn of the
// event loop, with the latest figure.
class TFptClientAsync {
public:
    using NotifyEvent = std::function<void(TFptClientAsync& sender)>;

    TFptClientAsync(const ILogGroupPtr& aLogRoot, const QString& aItemName);
    ~TFptClientAsync();
    TFptClientAsync(const TFptClientAsync&) = delete;
    TFptClientAsync& operator=(const TFptClientAsync&) = delete;

    bool SetServerSettings(const QString& aHost, const QString& aPort, const QString& aUser,
                           const QString& aPwd);
    bool PutFile(const QString& aLocalFilePath, const QString& aHostFileName,
                 const QString& aHostBackupFileName, const QString& aHostDirPath);
    bool FtpDelete(const QString& aFileName);
    bool Cancel();

    double Progress() const { return FProgress; }
    const ILogGroupPtr& LogGroup() const { return FLogGroup; }
    bool Finished() const { return FFinished; }
    bool Completed() const { return FCompleted; }
    // The local copy of the last PutFile, in the process's private folder.
    const QString& LocalFilePath() const { return FLocalFilePath; }
    // Limit in seconds of each synchronous request and of the silence an asynchronous request
    // waits through (15 by default).
    void SetTimeout(int seconds) { FFtpClient.SetTimeout(seconds); }

    NotifyEvent OnProgress;
    NotifyEvent OnFinish;

private:
    struct ChainStep;
    static const ChainStep chain[];

    void DoFtpError(TFtpClient& Sender, QString& Msg);
    void DoFtpDisplay(TFtpClient& Sender, QString& Msg);
    void DoFtpProgress(TFtpClient& Sender, std::int64_t Count, bool& Abort);
    void DoRequestDone(TFtpClient& Sender, TFtpRequest RqType, std::uint16_t ErrCode);
    bool CheckConnected();
    void CheckUploadedSize();
    bool BackupHostFile();
    bool RenameHostFile(const QString& from, const QString& to);
    bool RenameTmpFile();
    void DeleteUploadedFile();
    bool DeleteLocalTmpFile();
    void LocalCopyEnded(const TLocalCopy& copy);
    void DeliverProgress();

    void log(Tlog_kind kind, const QString& text) const;
    void log(Tlog_kind kind, const QString& fmt, TLogArgs params) const;

    TFtpClient FFtpClient;
    ILogGroupPtr FLogGroup;
    QString FLocalFilePath;
    std::int64_t FLocalFileSize = 0;
    double FProgress = 0;
    QString FHostFileName;
    ILogGroupPtr FLogFtpDebug;
    bool FServerSettingsAdded = false;
    QString FHostFileNameTmp;
    QString FHostBackupFileName;
    bool FFinished = false;
    QString FItemName;
    QString FHostDirPath;
    bool FCompleted = false;
    std::shared_ptr<TLocalCopy> FLocalCopy;
    QTimer FProgressNotice; // pending OnProgress, delivered on the loop's next turn
};

} // namespace zel
