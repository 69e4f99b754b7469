#pragma once

#include <QByteArray>
#include <QString>

namespace zel {

// The support server and the enciphered FTP password. Built-in defaults come from the build
// (CMake cache); the INI file named by the environment variable ZEL_DEPLOYMENT replaces each
// value it holds:
//   [server]
//   host=127.0.0.1
//   port=2121
//   password=<enciphered password bytes, two hexadecimal digits a byte>
//   key=<the 12-character key>
struct TDeployment {
    QString host;
    QString port; // a number or a service name ("ftp")
    QString user = QStringLiteral("zelsupport");
    QByteArray enciphered_password;
    QString key;
    QString error; // why the deployment file was not taken whole; empty when it was
};

// The built-in values, replaced by those of the file that ZEL_DEPLOYMENT names.
TDeployment deployment_values();
// The built-in values, replaced by those of the INI file at `path`.
TDeployment read_deployment_file(const QString& path, const TDeployment& defaults);
TDeployment built_in_deployment();

// Byte i becomes (byte - code of key character i mod key length) mod 256; the bytes are read in
// the locale's character set.
QString decipher_password(const QByteArray& enciphered, const QString& key);
// The inverse: byte i becomes (byte + code of key character i mod key length) mod 256.
QByteArray encipher_password(const QByteArray& clear, const QString& key);

} // namespace zel
