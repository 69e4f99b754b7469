#pragma once

#include <QStyledItemDelegate>

namespace zel {

// Row heights from the main column's text: every line of a multi-line event counts, plus a
// margin; never below the style's own height.
class TLogRowDelegate : public QStyledItemDelegate {
public:
    TLogRowDelegate(int main_column, QObject* parent)
        : QStyledItemDelegate(parent)
        , Fmain_column(main_column) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int Fmain_column;
};

} // namespace zel
