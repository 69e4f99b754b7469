#include "log/support/log_text_codec.h"

#include "platform/locale_charset.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace zel {

namespace {

// The locale's character set as Qt names it; empty for UTF-8, which takes the fast paths.
const QByteArray& locale_codec_name() {
    static const QByteArray name = [] {
        const QByteArray charset = QByteArray::fromStdString(platform::locale_charset()).toUpper();
        static constexpr const char* as_utf8[] = {"",      "UTF-8",   "UTF8", "ANSI_X3.4-1968",
                                                  "ASCII", "US-ASCII"};
        for (const char* utf8_name : as_utf8)
            if (charset == utf8_name)
                return QByteArray();
        // Qt knows a few sets itself and the rest through ICU when it is built with it.
        return QStringEncoder(charset.constData()).isValid() ? charset : QByteArray();
    }();
    return name;
}

} // namespace

QByteArray encode_log_text(QStringView text) {
    const QByteArray& name = locale_codec_name();
    if (name.isEmpty())
        return text.toUtf8();
    QStringEncoder encoder(name.constData());
    return encoder(text);
}

QString decode_log_text(QByteArrayView bytes) {
    if (const auto marked = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*marked); // drops the byte-order mark
        return decoder(bytes);
    }
    const QByteArray& name = locale_codec_name();
    if (name.isEmpty())
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(name.constData());
    return decoder(bytes);
}

} // namespace zel
