#include "app/sender/deployment.h"

#include <QFileInfo>
#include <QSettings>

#include <cctype>

namespace zel {

namespace {

QByteArray shifted(const QByteArray& bytes, const QString& key, int direction) {
    QByteArray result = bytes;
    if (key.isEmpty())
        return result;
    for (qsizetype i = 0; i < result.size(); ++i) {
        const int code = key.at(i % key.size()).unicode();
        result[i] =
            static_cast<char>((static_cast<unsigned char>(result[i]) + direction * code) & 0xFF);
    }
    return result;
}

bool is_hex(const QByteArray& text) {
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return text.size() % 2 == 0;
}

} // namespace

TDeployment built_in_deployment() {
    TDeployment values;
    values.host = QStringLiteral(ZEL_SUPPORT_HOST);
    values.port = QStringLiteral(ZEL_SUPPORT_PORT);
    values.enciphered_password = QByteArray::fromHex(ZEL_SUPPORT_PASSWORD);
    values.key = QStringLiteral(ZEL_SUPPORT_KEY);
    return values;
}

TDeployment read_deployment_file(const QString& path, const TDeployment& defaults) {
    TDeployment values = defaults;
    if (!QFileInfo(path).isFile()) {
        values.error = QStringLiteral("no such file: %1").arg(path);
        return values;
    }
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        values.error = QStringLiteral("not an INI file: %1").arg(path);
        return values;
    }
    file.beginGroup(QStringLiteral("server"));
    values.host = file.value(QStringLiteral("host"), values.host).toString();
    values.port = file.value(QStringLiteral("port"), values.port).toString();
    values.key = file.value(QStringLiteral("key"), values.key).toString();
    if (file.contains(QStringLiteral("password"))) {
        const QByteArray hex = file.value(QStringLiteral("password")).toString().toLatin1();
        if (is_hex(hex))
            values.enciphered_password = QByteArray::fromHex(hex);
        else
            values.error = QStringLiteral("password is not hexadecimal bytes: %1").arg(path);
    }
    return values;
}

TDeployment deployment_values() {
    const QString path = qEnvironmentVariable("ZEL_DEPLOYMENT");
    return path.isEmpty() ? built_in_deployment()
                          : read_deployment_file(path, built_in_deployment());
}

QString decipher_password(const QByteArray& enciphered, const QString& key) {
    return QString::fromLocal8Bit(shifted(enciphered, key, -1));
}

QByteArray encipher_password(const QByteArray& clear, const QString& key) {
    return shifted(clear, key, 1);
}

} // namespace zel
