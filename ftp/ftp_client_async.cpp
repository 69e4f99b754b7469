#include "ftp/ftp_client_async.h"

#include "log/core/log_procedures.h"
#include "platform/error_text.h"
#include "platform/file_copy.h"

#include <QFile>
#include <QFileInfo>

#include <exception>

namespace zel {

// The request chain, one row per request type that has just ended: the first row whose type
// matches and whose condition holds (when it has one) acts. Failed steps are only logged; the
// chain goes on and a failure shows in the later steps (the store, then the size check).
struct TFptClientAsync::ChainStep {
    TFtpRequest ended;
    bool (*condition)(const TFptClientAsync& client);
    void (*action)(TFptClientAsync& client);
};

const TFptClientAsync::ChainStep TFptClientAsync::chain[] = {
    {ftpOpenAsync, nullptr, [](TFptClientAsync& c) { c.FFtpClient.UserAsync(); }},
    {ftpUserAsync, nullptr, [](TFptClientAsync& c) { c.FFtpClient.PassAsync(); }},
    {ftpPassAsync,
     [](const TFptClientAsync& c) {
         return c.FHostDirPath.isEmpty() || c.FHostDirPath == QLatin1String("/");
     },
     [](TFptClientAsync& c) { c.FFtpClient.CwdAsync(); }},
    {ftpPassAsync, nullptr,
     [](TFptClientAsync& c) {
         c.FFtpClient.SetHostDirName(c.FHostDirPath);
         c.FFtpClient.SetHostFileName(c.FHostDirPath);
         c.FFtpClient.MkdAsync();
     }},
    // A folder that already exists makes MKD fail: no obstacle.
    {ftpMkdAsync, nullptr,
     [](TFptClientAsync& c) {
         c.FFtpClient.SetHostFileName(c.FHostFileNameTmp);
         c.FFtpClient.CwdAsync();
     }},
    {ftpCwdAsync, nullptr, [](TFptClientAsync& c) { c.FFtpClient.TypeSetAsync(); }},
    {ftpTypeSetAsync, nullptr, [](TFptClientAsync& c) { c.FFtpClient.PutAsync(); }},
    {ftpPutAsync, nullptr,
     [](TFptClientAsync& c) {
         c.DeliverProgress();
         c.CheckUploadedSize();
     }},
    {ftpQuitAsync, nullptr,
     [](TFptClientAsync& c) {
         c.FFinished = true;
         if (const auto handler = c.OnFinish)
             handler(c);
     }},
    // These end inside CheckUploadedSize, which waits for them.
    {ftpSizeAsync, nullptr, [](TFptClientAsync&) {}},
    {ftpRenAsync, nullptr, [](TFptClientAsync&) {}},
};

TFptClientAsync::TFptClientAsync(const ILogGroupPtr& aLogRoot, const QString& aItemName)
    : FItemName(aItemName) {
    if (aLogRoot) {
        aLogRoot->add_seeded_group(FLogGroup, GK_NONE);
        FLogGroup->set_text(FItemName);
        FLogGroup->add_seeded_group(FLogFtpDebug, GK_NONE);
        FLogFtpDebug->set_text(QStringLiteral("ftp"));
    }
    FFtpClient.OnDisplay = [this](TFtpClient& sender, QString& msg) { DoFtpDisplay(sender, msg); };
    FFtpClient.OnError = [this](TFtpClient& sender, QString& msg) { DoFtpError(sender, msg); };
    FFtpClient.SetHostDirName(QStringLiteral("/"));
    FProgressNotice.setSingleShot(true);
    FProgressNotice.setInterval(0);
    QObject::connect(&FProgressNotice, &QTimer::timeout, [this] {
        if (const auto handler = OnProgress)
            handler(*this);
    });
}

// The private folder is this process's own: nobody else would ever remove a copy left there.
TFptClientAsync::~TFptClientAsync() {
    DeleteLocalTmpFile();
}

void TFptClientAsync::log(Tlog_kind kind, const QString& text) const {
    if (FLogGroup)
        FLogGroup->add(kind, text);
}

void TFptClientAsync::log(Tlog_kind kind, const QString& fmt, TLogArgs params) const {
    if (FLogGroup)
        FLogGroup->add(kind, fmt, params);
}

void TFptClientAsync::DoFtpDisplay(TFtpClient&, QString& Msg) {
    if (FLogFtpDebug)
        FLogFtpDebug->add(LK_INFO, Msg);
}

void TFptClientAsync::DoFtpError(TFtpClient&, QString& Msg) {
    if (FLogFtpDebug)
        FLogFtpDebug->add(LK_ERROR, Msg);
}

bool TFptClientAsync::SetServerSettings(const QString& aHost, const QString& aPort,
                                        const QString& aUser, const QString& aPwd) {
    if (aHost.isEmpty() || aPort.isEmpty() || aUser.isEmpty()) {
        log(LK_ERROR,
            QStringLiteral(
                "unable to set FTP server parameters: at least one parameter is missing"));
        return false;
    }
    FFtpClient.SetHostName(aHost);
    FFtpClient.SetPort(aPort);
    FFtpClient.SetUserName(aUser);
    FFtpClient.SetPassWord(aPwd);
    FFtpClient.SetBinary(true);
    FFtpClient.SetPassive(true);
    log(LK_INFO, QStringLiteral("FTP parameters: %s, %s, %s"),
        {FFtpClient.HostName(), FFtpClient.UserName(), FFtpClient.HostDirName()});
    FServerSettingsAdded = true;
    return true;
}

bool TFptClientAsync::PutFile(const QString& aLocalFilePath, const QString& aHostFileName,
                              const QString& aHostBackupFileName, const QString& aHostDirPath) {
    FFinished = false;
    FCompleted = false;
    // An engine still looking up the host is busy too: a new OpenAsync would be refused.
    if (FFtpClient.Connected() || FFtpClient.State() != ftpReady) {
        log_add(LK_WARNING,
                QStringLiteral("FTP client connected, will be aborted for the new session"));
        FFtpClient.Abort();
    }
    if (!FServerSettingsAdded) {
        log(LK_ERROR, QStringLiteral("server settings have not been added"));
        return false;
    }
    if (!QFileInfo(aLocalFilePath).isFile()) {
        log(LK_ERROR, QStringLiteral("file path is not existing: %s"), {aLocalFilePath});
        return false;
    }
    if (aHostFileName.isEmpty()) {
        log(LK_ERROR, QStringLiteral("host file name is empty"));
        return false;
    }
    FProgressNotice.stop();
    DeleteLocalTmpFile();
    // The transfer reads this copy, never the user's file: the file may change or go while the
    // upload runs. It lives in a folder of this process alone, so that a program started in a
    // read-only folder still sends and two senders never share a copy.
    int folder_error = 0;
    const QString folder =
        QFile::decodeName(platform::process_private_folder(folder_error).c_str());
    FLocalFilePath = folder + QStringLiteral("/") + FItemName + QStringLiteral(".tmp");
    TLocalCopy::Started copy;
    if (folder.isEmpty())
        copy.error = QStringLiteral("no private folder for the copy: ") +
                     QString::fromStdString(platform::error_description(folder_error));
    else
        copy = TLocalCopy::start(aLocalFilePath, FLocalFilePath);
    if (!copy.copy) {
        log(LK_ERROR, QStringLiteral("unable to copy original file"));
        log(LK_INFO, copy.error);
        return false;
    }
    FLocalCopy = std::move(copy.copy);
    FLocalCopy->on_finished = [this](const TLocalCopy& ended) { LocalCopyEnded(ended); };
    FLocalFileSize = FLocalCopy->size();
    FHostFileName = aHostFileName;
    FHostBackupFileName = aHostBackupFileName;
    if (!aHostDirPath.isEmpty())
        FHostDirPath = aHostDirPath;
    FFtpClient.OnRequestDone = [this](TFtpClient& sender, TFtpRequest type, std::uint16_t code) {
        DoRequestDone(sender, type, code);
    };
    FFtpClient.OnProgress64 = [this](TFtpClient& sender, std::int64_t count, bool& abort) {
        DoFtpProgress(sender, count, abort);
    };
    FFtpClient.SetLocalFileName(FLocalFilePath);
    FFtpClient.SetLocalSource(FLocalCopy);
    FHostFileNameTmp = FHostFileName + QStringLiteral(".tmp");
    FFtpClient.SetHostFileName(FHostFileNameTmp);
    log(LK_INFO, QStringLiteral("starting to send file: %s"), {FHostFileName});
    FFtpClient.OpenAsync();
    return true;
}

void TFptClientAsync::DoFtpProgress(TFtpClient&, std::int64_t Count, bool&) {
    if (Count <= 0 || FLocalFileSize <= 0)
        return;
    FProgress = static_cast<double>(Count * 100) / static_cast<double>(FLocalFileSize);
    // A block goes out every 32 KiB: the owner hears of the latest figure once per loop turn.
    if (OnProgress && !FProgressNotice.isActive())
        FProgressNotice.start();
}

void TFptClientAsync::DeliverProgress() {
    if (!FProgressNotice.isActive())
        return;
    FProgressNotice.stop();
    if (const auto handler = OnProgress)
        handler(*this);
}

// A copy that fails makes the transfer fail too (the engine sends only copied bytes), so the
// size check cannot pass; the reason is told here.
void TFptClientAsync::LocalCopyEnded(const TLocalCopy& copy) {
    const QString failure = copy.failure();
    if (failure.isEmpty()) {
        log(LK_DEBUG, QStringLiteral("local copy done: %s"), {FLocalFilePath});
        return;
    }
    log(LK_ERROR, QStringLiteral("unable to copy original file"));
    log(LK_INFO, failure);
}

void TFptClientAsync::DoRequestDone(TFtpClient&, TFtpRequest RqType, std::uint16_t ErrCode) {
    if (ErrCode != 0 && FLogFtpDebug)
        FLogFtpDebug->add(LK_WARNING, QStringLiteral("FTP error code: %d"), {ErrCode});
    try {
        for (const ChainStep& step : chain) {
            if (step.ended == RqType && (step.condition == nullptr || step.condition(*this))) {
                step.action(*this);
                return;
            }
        }
        log(LK_DEBUG, QStringLiteral("Unexpected RqType: %d"), {static_cast<int>(RqType)});
    } catch (const std::exception& error) {
        if (FLogGroup)
            FLogGroup->add_exception_context(QStringLiteral("raised in DoRequestDone"), error);
    }
}

bool TFptClientAsync::CheckConnected() {
    if (FFtpClient.Connected())
        return true;
    log(LK_WARNING, QStringLiteral("FTP client is disconnected"));
    return false;
}

void TFptClientAsync::CheckUploadedSize() {
    if (!CheckConnected())
        return;
    // QUIT and the removal of the local copy follow whatever happens, exceptions included.
    struct Finally {
        TFptClientAsync& client;
        ~Finally() {
            try {
                client.FFtpClient.QuitAsync();
            } catch (const std::exception&) {
            }
            client.DeleteLocalTmpFile();
        }
    } finally{*this};

    if (!FFtpClient.Size()) {
        log(LK_WARNING, QStringLiteral("unable to get distant file size: %s"),
            {FFtpClient.ErrorMessage()});
        DeleteUploadedFile();
        return;
    }
    FCompleted = FFtpClient.SizeResult() == FLocalFileSize;
    if (!FCompleted) {
        log(LK_ERROR,
            QStringLiteral("file size on the server not valid: %d (local) <> %d (server)"),
            {FLocalFileSize, FFtpClient.SizeResult()});
        DeleteUploadedFile();
        return;
    }
    log(LK_IMPORTANT, QStringLiteral("file size on the server OK"));
    if (!FHostBackupFileName.isEmpty())
        BackupHostFile();
    RenameTmpFile();
}

bool TFptClientAsync::RenameTmpFile() {
    return RenameHostFile(FHostFileNameTmp, FHostFileName);
}

bool TFptClientAsync::RenameHostFile(const QString& from, const QString& to) {
    if (!CheckConnected())
        return false;
    FFtpClient.SetHostFileName(from);
    FFtpClient.SetLocalFileName(to);
    const bool renamed = FFtpClient.Ren();
    if (renamed)
        log(LK_INFO, QStringLiteral("file renamed on server: %s -> %s"), {from, to});
    else
        log(LK_ERROR, QStringLiteral("unable to rename file on server: %s -> %s"), {from, to});
    return renamed;
}

bool TFptClientAsync::BackupHostFile() {
    if (!CheckConnected())
        return false;
    FFtpClient.SetHostFileName(FHostFileName);
    const bool found = FFtpClient.Size();
    if (found && FFtpClient.SizeResult() > 0)
        return RenameHostFile(FHostFileName, FHostBackupFileName);
    log(LK_ERROR, QStringLiteral("unable to backup file as it is not existing on the server: %s"),
        {FHostFileName});
    return found;
}

void TFptClientAsync::DeleteUploadedFile() {
    if (!CheckConnected())
        return;
    if (FFtpClient.Dele())
        log(LK_INFO, QStringLiteral("uploaded file deleted: %s"), {FHostFileNameTmp});
    else
        log(LK_ERROR, QStringLiteral("unable to delete uploaded file: %s"), {FHostFileNameTmp});
}

// The copy's own removal returns at once: a large file's blocks are freed off this thread.
bool TFptClientAsync::DeleteLocalTmpFile() {
    FFtpClient.SetLocalSource(nullptr);
    const QFileInfo file(FLocalFilePath);
    const bool existed = !FLocalFilePath.isEmpty() && (file.exists() || file.isSymLink());
    if (FLocalCopy) {
        FLocalCopy->remove();
        FLocalCopy.reset();
    }
    if (!existed)
        return false;
    if (QFileInfo(FLocalFilePath).exists() && !QFile::remove(FLocalFilePath)) {
        log(LK_ERROR, QStringLiteral("unable to delete tmp file: %s"), {FLocalFilePath});
        return false;
    }
    return true;
}

bool TFptClientAsync::FtpDelete(const QString& aFileName) {
    FFtpClient.SetHostFileName(aFileName);
    return FFtpClient.Delete();
}

bool TFptClientAsync::Cancel() {
    log(LK_WARNING, QStringLiteral("cancel requested by user..."));
    if (!FFtpClient.Connected())
        return false;
    FFtpClient.OnRequestDone = nullptr;
    const bool aborted = FFtpClient.Abort();
    if (aborted)
        log(LK_INFO, QStringLiteral("aborted"));
    else
        log(LK_ERROR, QStringLiteral("unable to abort"));
    if (!FFtpClient.Delete())
        log(LK_ERROR, QStringLiteral("unable to delete temp file"));
    FFtpClient.Quit();
    return aborted;
}

} // namespace zel
