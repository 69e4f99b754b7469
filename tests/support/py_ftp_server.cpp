#include "tests/support/py_ftp_server.h"

#include <QDeadlineTimer>
#include <QDir>

namespace zel::test {

namespace {

QString root_template(const QString& parent_folder) {
    const QString parent = parent_folder.isEmpty() ? QDir::tempPath() : parent_folder;
    return parent + QStringLiteral("/zel_ftp_root_XXXXXX");
}

} // namespace

PyFtpServer::PyFtpServer(const QString& parent_folder)
    : root_(root_template(parent_folder)) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(ZEL_FTP_SERVER_SCRIPT), QStringLiteral("--root"), root(),
                    QStringLiteral("--user"), QString::fromLatin1(user),
                    QStringLiteral("--password"), QString::fromLatin1(password)});
    if (!process_.waitForStarted(10000)) {
        error_ = process_.errorString();
        return;
    }
    // The server prints its port once it listens: wait for that line, never for a fixed time.
    const QDeadlineTimer deadline(20000);
    while (!process_.canReadLine()) {
        if (deadline.hasExpired() || process_.state() != QProcess::Running ||
            !process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            error_ = QStringLiteral("the FTP server printed no port");
            return;
        }
    }
    const QByteArray line = process_.readLine().trimmed();
    if (line.startsWith("port "))
        port_ = static_cast<quint16>(line.mid(5).toUInt());
    if (port_ == 0)
        error_ = QStringLiteral("unexpected first line: ") + QString::fromUtf8(line);
}

PyFtpServer::~PyFtpServer() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.kill();
    process_.waitForFinished(10000);
}

} // namespace zel::test
