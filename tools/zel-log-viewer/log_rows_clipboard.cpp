#include "tools/zel-log-viewer/log_rows_clipboard.h"

namespace zel {

std::unique_ptr<QMimeData> log_rows_mime_data(const QStringList& texts, const QStringList& htmls) {
    if (texts.isEmpty() && htmls.isEmpty())
        return nullptr;
    auto data = std::make_unique<QMimeData>();
    data->setText(texts.join(u'\n'));
    data->setHtml(QStringLiteral("<html><body>") + htmls.join(QString()) +
                  QStringLiteral("</body></html>"));
    return data;
}

} // namespace zel
