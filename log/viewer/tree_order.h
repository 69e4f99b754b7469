#pragma once

#include <QModelIndex>

namespace zel {

// Walking an item model's rows in tree order (a row, its children, then its next sibling or
// that of an ancestor), collapsed rows included. Column 0 indexes.

// The row after `index`; invalid after the last row.
QModelIndex next_in_tree_order(const QModelIndex& index);
// The row before `index`; invalid before the first row.
QModelIndex previous_in_tree_order(const QModelIndex& index);
// True when `a` comes before `b` in tree order.
bool before_in_tree_order(const QModelIndex& a, const QModelIndex& b);

} // namespace zel
