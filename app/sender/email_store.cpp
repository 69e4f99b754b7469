#include "app/sender/email_store.h"

#include <QSettings>

namespace zel {

namespace {

const QString email_value = QStringLiteral("FtpEmailFolder");

} // namespace

QString read_stored_email() {
    const QSettings settings(QStringLiteral("ZEL"), QStringLiteral("ZelRep"));
    return settings.value(email_value).toString();
}

bool write_stored_email(const QString& email) {
    QSettings settings(QStringLiteral("ZEL"), QStringLiteral("ZelRep"));
    settings.setValue(email_value, email);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace zel
