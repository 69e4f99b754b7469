#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace zel::test {

// A real FTP server (pyftpdlib) on 127.0.0.1 and a free port, serving a temporary root folder to
// the user `zelsupport`. Started by the constructor; stopped by the destructor.
class PyFtpServer {
public:
    static constexpr const char* user = "zelsupport";
    static constexpr const char* password = "secret-pw";

    // The root folder is made inside `parent_folder` (the system's temporary folder when empty).
    explicit PyFtpServer(const QString& parent_folder = {});
    ~PyFtpServer();
    PyFtpServer(const PyFtpServer&) = delete;
    PyFtpServer& operator=(const PyFtpServer&) = delete;

    // False when the server did not come up; `error()` tells why.
    bool is_running() const { return port_ != 0; }
    const QString& error() const { return error_; }
    quint16 port() const { return port_; }
    // The folder the user sees as "/".
    QString root() const { return root_.path(); }

private:
    QTemporaryDir root_;
    QProcess process_;
    quint16 port_ = 0;
    QString error_;
};

} // namespace zel::test
