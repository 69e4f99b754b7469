#pragma once

#include <QMimeData>
#include <QStringList>

#include <memory>

namespace zel {

// The clipboard content of copied log rows: the rows' one-line texts, one a line, as plain text,
// and their rich-text descriptions, one after the other, as HTML. Null when there is no row.
std::unique_ptr<QMimeData> log_rows_mime_data(const QStringList& texts, const QStringList& htmls);

} // namespace zel
