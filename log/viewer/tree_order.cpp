#include "log/viewer/tree_order.h"

#include <QAbstractItemModel>
#include <QList>

#include <algorithm>

namespace zel {

namespace {

// The rows from the top down to `index`.
QList<int> rows_from_top(QModelIndex index) {
    QList<int> rows;
    for (; index.isValid(); index = index.parent())
        rows.prepend(index.row());
    return rows;
}

} // namespace

QModelIndex next_in_tree_order(const QModelIndex& index) {
    if (!index.isValid())
        return {};
    const QAbstractItemModel* model = index.model();
    const QModelIndex row = index.siblingAtColumn(0);
    if (model->rowCount(row) > 0)
        return model->index(0, 0, row);
    for (QModelIndex up = row; up.isValid(); up = up.parent())
        if (up.row() + 1 < model->rowCount(up.parent()))
            return model->index(up.row() + 1, 0, up.parent());
    return {};
}

QModelIndex previous_in_tree_order(const QModelIndex& index) {
    if (!index.isValid())
        return {};
    const QAbstractItemModel* model = index.model();
    const QModelIndex row = index.siblingAtColumn(0);
    if (row.row() == 0)
        return row.parent();
    QModelIndex deepest = model->index(row.row() - 1, 0, row.parent());
    for (int count = model->rowCount(deepest); count > 0; count = model->rowCount(deepest))
        deepest = model->index(count - 1, 0, deepest);
    return deepest;
}

bool before_in_tree_order(const QModelIndex& a, const QModelIndex& b) {
    const QList<int> rows_a = rows_from_top(a);
    const QList<int> rows_b = rows_from_top(b);
    return std::lexicographical_compare(rows_a.begin(), rows_a.end(), rows_b.begin(), rows_b.end());
}

} // namespace zel
