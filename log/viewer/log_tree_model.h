#pragma once

#include "log/core/log_interfaces.h"
#include "log/viewer/log_colors.h"
#include "log/viewer/log_entry_display_options.h"

#include <QAbstractItemModel>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace zel {

// The log tree as an item model: one row per event, placed under the row of its group at the
// event's index in that group. A row holds a counted reference to its event and nothing copied
// from it: texts, colours and sort keys are computed from the event when asked.
//
// Work arrives as "this group may have new entries" marks (note_arrival) and is done in bounded
// steps (sync), so that a large burst of events never stalls the GUI thread. Lives on the GUI
// thread; knows no widgets.
class TLogTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    static constexpr int column_count = 8;
    using TVisibleColumns = std::array<bool, column_count>;

    TLogTreeModel(const TZelLogEntryDisplayOptionsCollection& options, QObject* parent);
    ~TLogTreeModel() override;
    TLogTreeModel(const TLogTreeModel&) = delete;
    TLogTreeModel& operator=(const TLogTreeModel&) = delete;

    // The group whose entries are the top-level rows; every row is removed.
    void set_root(const ILogGroupPtr& root);
    const ILogGroupPtr& root() const { return Froot; }
    // Removes every row; the root stays, and its entries come back at the next arrival.
    void clear();

    // `item` was added or changed: repaints its row and marks the group that has to read its
    // entries again. Events outside the root are ignored.
    void note_arrival(const ILogEventPtr& item);
    // Places up to `budget` new rows; true when more work is waiting.
    bool sync(std::int32_t budget);
    bool has_work() const { return !Fdirty.empty(); }
    // Tells the views of the rows changed since the last call for which `shown` holds; the
    // others are forgotten. (Telling a tree view of a row costs a walk over the rows above it,
    // laying out each: worth it only for the rows on screen.)
    void flush_changes(const std::function<bool(const QModelIndex&)>& shown);
    bool has_changes() const { return !Fchanged.empty(); }

    ILogEventPtr event_of(const QModelIndex& index) const;
    // The row of `event` in this model (column 0), invalid when it has none.
    QModelIndex index_of(const ILogEventPtr& event) const;

    ELogColorMode color_mode() const { return Fcolor_mode; }
    void set_color_mode(ELogColorMode value);
    void set_override_color(const QModelIndex& index, TColor color);
    // The background of a row, none for the default background.
    std::optional<TColor> row_color(const QModelIndex& index) const;
    void set_OnRowBackground(TOnRowBackground value) { FOnRowBackground = std::move(value); }

    // The Event column's text (template of the event or its kind, and the repeat suffix).
    QString event_text(const QModelIndex& index) const;
    // One line from the visible columns.
    QString formated_text(const QModelIndex& index, const TVisibleColumns& visible) const;
    QString html_text(const QModelIndex& index) const;

    std::int32_t sort_column() const { return Fsort_column; }
    Qt::SortOrder sort_order() const { return Fsort_order; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Calls `visit` for every row in tree order, collapsed ones included.
    template <class Visit>
    void for_each_row(const QModelIndex& parent, Visit&& visit) const {
        const int rows = rowCount(parent);
        for (int row = 0; row < rows; ++row) {
            const QModelIndex child = index(row, 0, parent);
            visit(child);
            for_each_row(child, visit);
        }
    }

private:
    using TNodeId = std::uint32_t;
    struct TChildren;
    struct TNode;
    class TNodeArena;

    TNode& node(TNodeId id) const;
    const TNode* node_of(const QModelIndex& index) const;
    // The node linked to `event` through its data, 0 when none.
    TNodeId linked_node(const ILogEvent& event) const;
    int row_of(TNodeId id) const;
    QModelIndex index_of_node(TNodeId id, int column = 0) const;
    std::int32_t depth_of(TNodeId id) const;
    void mark_dirty(TNodeId id);
    void note_changed(TNodeId id);
    // Reads a group's entries again; places up to `budget` new rows. True when done.
    bool sync_group(TNodeId id, std::int32_t& budget);
    // Removes a group's rows, telling the views.
    void remove_children(TNodeId id);
    // The same inside a reset; for the root, every node goes.
    void free_children(TNodeId id);
    void free_subtree(TNodeId id);
    // Restores the order of a group's rows after changes; false when it was in order.
    bool restore_order(TNodeId id, std::size_t from);
    bool less(TNodeId a, TNodeId b) const;
    void remap_persistent_indexes();
    QString expand(const ILogEvent& event, const QString& text_template) const;
    QString repeat_suffix(const ILogEvent& event) const;
    QString cell_text(const ILogEvent& event, int column) const;
    TColor kind_color(Tlog_kind kind) const;

    const TZelLogEntryDisplayOptionsCollection& Foptions;
    std::unique_ptr<TNodeArena> Fnodes;
    ILogGroupPtr Froot;
    std::vector<TNodeId> Fdirty; // groups whose entries are to be read again
    std::unordered_map<TNodeId, TColor> Foverride_colors;
    std::vector<TNodeId> Fchanged; // may repeat a row
    TOnRowBackground FOnRowBackground;
    ELogColorMode Fcolor_mode = lcmKind;
    std::int32_t Fsort_column = 0;
    Qt::SortOrder Fsort_order = Qt::DescendingOrder;
};

} // namespace zel
