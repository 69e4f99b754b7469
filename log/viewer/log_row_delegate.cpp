#include "log/viewer/log_row_delegate.h"

#include <QFontMetrics>

#include <algorithm>

namespace zel {

namespace {
constexpr int row_margin = 8;
}

QSize TLogRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (index.column() != Fmain_column)
        return size;
    const QString text = index.data(Qt::DisplayRole).toString();
    const auto lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
    const int height = lines * QFontMetrics(option.font).lineSpacing() + row_margin;
    size.setHeight(std::max(size.height(), height));
    return size;
}

} // namespace zel
