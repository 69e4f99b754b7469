#include "log/viewer/log_tree_model.h"

#include "Common/assertion.h"

#include <QBrush>

#include <algorithm>

namespace zel {

namespace {

constexpr std::array<const char*, TLogTreeModel::column_count> column_captions{
    "When", "LastWhen", "Kind", "Ticks", "Unique Id", "Thread Id", "Repeat count", "Event"};

constexpr std::array<const char*, TLogTreeModel::column_count - 1> cell_templates{
    "{date_short} {time_short}",
    "{last_date_short} {last_time_short}",
    "{type}",
    "{ticks}",
    "{id}",
    "{thread_id}",
    "{repeat_count}"};

// The Event column's template when neither the event nor its kind has one.
constexpr const char* default_event_template = "{context}{text}";

QString template_of(const ILogEvent& event, const TZelLogEntryDisplayOptions* options) {
    QString text_template = event.PreProcessFormat();
    if (text_template.isEmpty() && options != nullptr)
        text_template = options->TextFormat();
    return text_template;
}

// Sign of (a - b).
template <class T>
int compare(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compare_by_column(const ILogEvent& a, const ILogEvent& b, int column) {
    switch (column) {
    case 0:
        return compare(a.when(), b.when());
    case 1:
        return compare(a.last_when(), b.last_when());
    case 2:
        return compare(a.log_type(), b.log_type());
    case 3:
        return compare(a.ticks(), b.ticks());
    case 4:
        return compare(a.id(), b.id());
    case 5:
        return compare(a.thread_id(), b.thread_id());
    case 6:
        return compare(a.repeat_count(), b.repeat_count());
    default:
        return 0;
    }
}

QString display_lines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

} // namespace

// The rows of a group in ascending sort order (row = position, or its mirror when descending).
struct TLogTreeModel::TChildren {
    std::vector<TNodeId> ids;
    std::int32_t FColorIndex = 0; // the group's palette index
    bool dirty = false;           // in Fdirty
    bool unsorted = false;        // a row's sort key changed
};

// Kept to 24 bytes: a log holds many rows. What only groups need lives in their TChildren,
// kept apart by node id, the rare override colours in a map of their own. The event's kind is
// kept too: a view asks the flags of every row it lays out, and reading them from the events
// would touch the memory of each.
struct TLogTreeModel::TNode {
    ILogEventPtr FEntry;
    TNodeId parent = 0;
    std::uint32_t pos : 28 = 0;
    std::uint32_t kind : 4 = LK_DECORATION;
};

// Nodes in fixed blocks, so that a node's id and address stay while others come and go, and the
// rows of each group. Node 0 stands for the root; freed nodes are reused.
class TLogTreeModel::TNodeArena {
public:
    static constexpr std::uint32_t block_bits = 12;
    static constexpr std::uint32_t block_size = 1u << block_bits;
    static_assert(sizeof(void*) != 8 || sizeof(TNode) == 24);

    TNodeArena() { Fblocks.push_back(std::make_unique<TNode[]>(block_size)); }

    TNode& at(TNodeId id) { return Fblocks[id >> block_bits][id & (block_size - 1)]; }
    bool valid(TNodeId id) const { return id > 0 && id < Fused; }

    TNodeId allocate() {
        if (!Ffree.empty()) {
            const TNodeId id = Ffree.back();
            Ffree.pop_back();
            return id;
        }
        if (Fused == Fblocks.size() * block_size)
            Fblocks.push_back(std::make_unique<TNode[]>(block_size));
        return Fused++;
    }
    void release(TNodeId id) {
        at(id) = TNode{};
        Fgroups.erase(id);
        Ffree.push_back(id);
    }
    // The rows of a group, none for an event without entries.
    TChildren* children(TNodeId id) {
        const auto found = Fgroups.find(id);
        return found != Fgroups.end() ? &found->second : nullptr;
    }
    TChildren& make_children(TNodeId id) { return Fgroups[id]; }
    // Every node but the root's is gone.
    void reset() {
        Fblocks.resize(1);
        for (std::uint32_t i = 1; i < block_size; ++i)
            Fblocks[0][i] = TNode{};
        Fgroups.clear();
        Fused = 1;
        Ffree.clear();
    }

private:
    std::vector<std::unique_ptr<TNode[]>> Fblocks;
    std::vector<TNodeId> Ffree;
    std::unordered_map<TNodeId, TChildren> Fgroups; // references stay while others come
    TNodeId Fused = 1;
};

TLogTreeModel::TLogTreeModel(const TZelLogEntryDisplayOptionsCollection& options, QObject* parent)
    : QAbstractItemModel(parent)
    , Foptions(options)
    , Fnodes(std::make_unique<TNodeArena>()) {}

TLogTreeModel::~TLogTreeModel() {
    free_children(0);
}

TLogTreeModel::TNode& TLogTreeModel::node(TNodeId id) const {
    return Fnodes->at(id);
}

const TLogTreeModel::TNode* TLogTreeModel::node_of(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this)
        return nullptr;
    const auto id = static_cast<TNodeId>(index.internalId());
    return Fnodes->valid(id) ? &node(id) : nullptr;
}

TLogTreeModel::TNodeId TLogTreeModel::linked_node(const ILogEvent& event) const {
    const auto id = static_cast<TNodeId>(reinterpret_cast<quintptr>(event.data()));
    // The data slot serves one viewer: trust it only when it names this model's node of it.
    return Fnodes->valid(id) && node(id).FEntry.get() == &event ? id : 0;
}

int TLogTreeModel::row_of(TNodeId id) const {
    const TNode& n = node(id);
    const auto count = static_cast<int>(Fnodes->children(n.parent)->ids.size());
    const int pos = static_cast<int>(n.pos);
    return Fsort_order == Qt::DescendingOrder ? count - 1 - pos : pos;
}

QModelIndex TLogTreeModel::index_of_node(TNodeId id, int column) const {
    return id == 0 ? QModelIndex() : createIndex(row_of(id), column, quintptr{id});
}

std::int32_t TLogTreeModel::depth_of(TNodeId id) const {
    std::int32_t depth = 0;
    for (; id != 0; id = node(id).parent)
        ++depth;
    return depth;
}

void TLogTreeModel::set_root(const ILogGroupPtr& root) {
    beginResetModel();
    free_children(0);
    Froot = root;
    node(0).FEntry = root;
    endResetModel();
}

void TLogTreeModel::clear() {
    beginResetModel();
    free_children(0);
    endResetModel();
}

void TLogTreeModel::free_children(TNodeId id) {
    if (TChildren* children = Fnodes->children(id)) {
        for (const TNodeId child : children->ids)
            free_subtree(child);
        children->ids.clear();
    }
    if (id == 0) {
        Fnodes->reset();
        Fdirty.clear();
        Fchanged.clear();
        Foverride_colors.clear();
    }
}

void TLogTreeModel::mark_dirty(TNodeId id) {
    TChildren& children = Fnodes->make_children(id);
    if (!children.dirty) {
        children.dirty = true;
        Fdirty.push_back(id);
    }
}

void TLogTreeModel::note_arrival(const ILogEventPtr& item) {
    const ILogEventPtr& root_entry = node(0).FEntry;
    if (!item || !root_entry)
        return;
    if (item.get() == root_entry.get()) {
        mark_dirty(0);
        return;
    }
    if (const TNodeId id = linked_node(*item)) {
        TNode& n = node(id);
        n.kind = item->log_type();
        note_changed(id);
        if (Fsort_column == 1 || Fsort_column == 6) // keys that change after placing
            if (TChildren* siblings = Fnodes->children(n.parent); siblings != nullptr) {
                siblings->unsorted = true;
                mark_dirty(n.parent);
            }
        if (item->log_type() == LK_GROUP)
            mark_dirty(id);
        return;
    }
    // The nearest ancestor with a row reads its entries again; the rows between appear then.
    for (ILogGroupPtr group = item->parent(); group; group = group->parent()) {
        if (group.get() == static_cast<const ILogEvent*>(root_entry.get())) {
            mark_dirty(0);
            return;
        }
        if (const TNodeId id = linked_node(*group)) {
            mark_dirty(id);
            return;
        }
    }
}

void TLogTreeModel::note_changed(TNodeId id) {
    Fchanged.push_back(id);
}

void TLogTreeModel::flush_changes(const std::function<bool(const QModelIndex&)>& shown) {
    std::sort(Fchanged.begin(), Fchanged.end());
    Fchanged.erase(std::unique(Fchanged.begin(), Fchanged.end()), Fchanged.end());
    for (const TNodeId id : Fchanged)
        if (Fnodes->valid(id) && node(id).FEntry && shown(index_of_node(id)))
            Q_EMIT dataChanged(index_of_node(id, 0), index_of_node(id, column_count - 1));
    Fchanged.clear();
}

bool TLogTreeModel::sync(std::int32_t budget) {
    while (!Fdirty.empty() && budget > 0) {
        const TNodeId id = Fdirty.back();
        if (!sync_group(id, budget))
            break;
        // sync_group may have marked new groups: find this one again.
        const auto at = std::find(Fdirty.begin(), Fdirty.end(), id);
        Fnodes->children(id)->dirty = false;
        Fdirty.erase(at);
    }
    return !Fdirty.empty();
}

bool TLogTreeModel::sync_group(TNodeId id, std::int32_t& budget) {
    const auto group = std::dynamic_pointer_cast<ILogGroup>(node(id).FEntry);
    TChildren& children = *Fnodes->children(id);
    if (!group)
        return true;
    const QModelIndex parent_index = index_of_node(id);
    const std::int32_t count = group->event_count();
    if (count < static_cast<std::int32_t>(children.ids.size())) // the group was cleared
        remove_children(id);
    const auto have = static_cast<std::int32_t>(children.ids.size());
    std::vector<ILogEventPtr> fresh;
    fresh.reserve(static_cast<std::size_t>(std::min(count - have, budget)));
    for (std::int32_t i = have; i < count && budget > 0; ++i, --budget) {
        ILogEventPtr entry = group->getevent(i);
        if (!entry)
            break;
        fresh.push_back(std::move(entry));
    }
    const bool done = have + static_cast<std::int32_t>(fresh.size()) >= count;
    if (!fresh.empty()) {
        const int added = static_cast<int>(fresh.size());
        if (Fsort_order == Qt::DescendingOrder)
            beginInsertRows(parent_index, 0, added - 1);
        else
            beginInsertRows(parent_index, have, have + added - 1);
        for (ILogEventPtr& entry : fresh) {
            const TNodeId child = Fnodes->allocate();
            TNode& n = node(child);
            n.parent = id;
            n.kind = entry->log_type();
            n.pos = static_cast<std::uint32_t>(children.ids.size());
            if (n.kind == LK_GROUP) {
                Fnodes->make_children(child).FColorIndex = next_group_color_index();
                if (const auto sub = std::dynamic_pointer_cast<ILogGroup>(entry);
                    sub && sub->event_count() > 0)
                    mark_dirty(child);
            }
            entry->set_data(reinterpret_cast<void*>(quintptr{child}));
            n.FEntry = std::move(entry);
            children.ids.push_back(child);
        }
        endInsertRows();
    }
    TChildren& now = *Fnodes->children(id);
    const bool unsorted = now.unsorted;
    now.unsorted = false;
    restore_order(id, unsorted ? 0 : static_cast<std::size_t>(std::max(have - 1, 0)));
    if (id != 0 && (!fresh.empty() || unsorted))
        note_changed(id); // its entry count shows in its text
    return done;
}

bool TLogTreeModel::less(TNodeId a, TNodeId b) const {
    const ILogEvent& first = *node(a).FEntry;
    const ILogEvent& second = *node(b).FEntry;
    const int order = compare_by_column(first, second, Fsort_column);
    return order != 0 ? order < 0 : first.index() < second.index();
}

bool TLogTreeModel::restore_order(TNodeId id, std::size_t from) {
    std::vector<TNodeId>& ids = Fnodes->children(id)->ids;
    const auto start = ids.begin() + static_cast<std::ptrdiff_t>(std::min(from, ids.size()));
    const auto by_key = [this](TNodeId a, TNodeId b) { return less(a, b); };
    if (std::is_sorted(start, ids.end(), by_key))
        return false;
    Q_EMIT layoutAboutToBeChanged({index_of_node(id)}, QAbstractItemModel::VerticalSortHint);
    std::sort(ids.begin(), ids.end(), by_key);
    for (std::size_t i = 0; i < ids.size(); ++i)
        node(ids[i]).pos = static_cast<std::uint32_t>(i);
    remap_persistent_indexes();
    Q_EMIT layoutChanged({index_of_node(id)}, QAbstractItemModel::VerticalSortHint);
    return true;
}

void TLogTreeModel::remap_persistent_indexes() {
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from) {
        const auto id = static_cast<TNodeId>(index.internalId());
        to.push_back(Fnodes->valid(id) ? index_of_node(id, index.column()) : QModelIndex());
    }
    changePersistentIndexList(from, to);
}

void TLogTreeModel::sort(int column, Qt::SortOrder order) {
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    Fsort_column = column;
    Fsort_order = order;
    std::vector<TNodeId> groups{0};
    while (!groups.empty()) {
        const TNodeId id = groups.back();
        groups.pop_back();
        TChildren* children = Fnodes->children(id);
        if (children == nullptr)
            continue;
        std::sort(children->ids.begin(), children->ids.end(),
                  [this](TNodeId a, TNodeId b) { return less(a, b); });
        for (std::size_t i = 0; i < children->ids.size(); ++i) {
            node(children->ids[i]).pos = static_cast<std::uint32_t>(i);
            if (Fnodes->children(children->ids[i]) != nullptr)
                groups.push_back(children->ids[i]);
        }
    }
    remap_persistent_indexes();
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TLogTreeModel::remove_children(TNodeId id) {
    TChildren* children = Fnodes->children(id);
    if (children == nullptr || children->ids.empty())
        return;
    beginRemoveRows(index_of_node(id), 0, static_cast<int>(children->ids.size()) - 1);
    for (const TNodeId child : children->ids)
        free_subtree(child);
    children->ids.clear();
    endRemoveRows();
}

void TLogTreeModel::free_subtree(TNodeId id) {
    TNode& n = node(id);
    if (const TChildren* children = Fnodes->children(id)) {
        for (const TNodeId child : children->ids)
            free_subtree(child);
        if (children->dirty)
            std::erase(Fdirty, id);
    }
    if (n.FEntry && n.FEntry->data() == reinterpret_cast<void*>(quintptr{id}))
        n.FEntry->set_data(nullptr);
    Foverride_colors.erase(id);
    Fnodes->release(id);
}

ILogEventPtr TLogTreeModel::event_of(const QModelIndex& index) const {
    const TNode* n = node_of(index);
    return n != nullptr ? n->FEntry : nullptr;
}

QModelIndex TLogTreeModel::index_of(const ILogEventPtr& event) const {
    if (!event)
        return {};
    const TNodeId id = linked_node(*event);
    return id != 0 ? index_of_node(id) : QModelIndex();
}

void TLogTreeModel::set_color_mode(ELogColorMode value) {
    if (value > lcmCustom)
        raise_assertion("unknown color mode", "log/log.visualizer", 566);
    Fcolor_mode = value;
}

void TLogTreeModel::set_override_color(const QModelIndex& index, TColor color) {
    if (node_of(index) == nullptr)
        return;
    const auto id = static_cast<TNodeId>(index.internalId());
    if (color == no_color)
        Foverride_colors.erase(id);
    else
        Foverride_colors[id] = color;
    const QModelIndex first = index.siblingAtColumn(0);
    Q_EMIT dataChanged(first, first.siblingAtColumn(column_count - 1), {Qt::BackgroundRole});
}

TColor TLogTreeModel::kind_color(Tlog_kind kind) const {
    const TZelLogEntryDisplayOptions* options = Foptions.FindByKind(kind);
    return options != nullptr ? options->Color() : white_color;
}

std::optional<TColor> TLogTreeModel::row_color(const QModelIndex& index) const {
    const TNode* n = node_of(index);
    if (n == nullptr || !n->FEntry)
        return std::nullopt;
    const auto id = static_cast<TNodeId>(index.internalId());
    if (const auto found = Foverride_colors.find(id); found != Foverride_colors.end())
        return found->second;
    const bool is_group = n->FEntry->log_type() == LK_GROUP;
    const auto color_index = [this](TNodeId group) {
        const TChildren* children = Fnodes->children(group);
        return children != nullptr ? children->FColorIndex : 0;
    };
    const auto by_depth = [&]() -> std::optional<TColor> {
        if (is_group)
            return group_palette(depth_of(id) % group_palette_size);
        if (n->parent == 0) // a top-level row
            return std::nullopt;
        return group_palette(depth_of(n->parent) % group_palette_size);
    };
    const auto by_group = [&]() -> std::optional<TColor> {
        if (is_group)
            return group_palette(color_index(id));
        if (n->parent == 0) // a top-level row
            return std::nullopt;
        return group_palette(color_index(n->parent));
    };
    const TColor own = kind_color(is_group ? LK_GROUP : n->FEntry->log_type());
    std::optional<TColor> color;
    switch (Fcolor_mode) {
    case lcmNone:
    case lcmCustom:
        break;
    case lcmKind:
        color = own;
        break;
    case lcmDepth:
    case lcmGroup:
    case lcmDepthKind:
    case lcmGroupKind:
        if ((Fcolor_mode == lcmDepthKind || Fcolor_mode == lcmGroupKind) && own != white_color) {
            color = own;
            break;
        }
        color = Fcolor_mode == lcmDepth || Fcolor_mode == lcmDepthKind ? by_depth() : by_group();
        // A row at the top of these modes keeps the default background, the host unasked.
        if (!color)
            return std::nullopt;
        break;
    default:
        raise_assertion("unknown color mode", "log/log.visualizer", 566);
    }
    if (FOnRowBackground)
        FOnRowBackground(n->FEntry, color);
    return color;
}

QString TLogTreeModel::expand(const ILogEvent& event, const QString& text_template) const {
    return event.preprocess(text_template, true, false);
}

QString TLogTreeModel::repeat_suffix(const ILogEvent& event) const {
    const std::uint32_t repeats = event.repeat_count();
    if (repeats == 0)
        return {};
    return QString::asprintf(" (Repeated %d times in %.1f Sec.)", static_cast<int>(repeats + 1),
                             (event.last_when() - event.when()) * 86400.0);
}

QString TLogTreeModel::cell_text(const ILogEvent& event, int column) const {
    if (column >= 0 && column < column_count - 1)
        return expand(event, QString::fromLatin1(cell_templates[static_cast<std::size_t>(column)]));
    if (column != column_count - 1)
        return {};
    QString text_template = template_of(event, Foptions.FindByKind(event.log_type()));
    if (text_template.isEmpty())
        text_template = QString::fromLatin1(default_event_template);
    return expand(event, text_template) + repeat_suffix(event);
}

QString TLogTreeModel::event_text(const QModelIndex& index) const {
    const TNode* n = node_of(index);
    return n != nullptr && n->FEntry ? cell_text(*n->FEntry, column_count - 1) : QString();
}

QString TLogTreeModel::formated_text(const QModelIndex& index,
                                     const TVisibleColumns& visible) const {
    const TNode* n = node_of(index);
    if (n == nullptr || !n->FEntry)
        return {};
    const ILogEvent& event = *n->FEntry;
    QString text_template;
    for (std::size_t column = 0; column < cell_templates.size(); ++column)
        if (visible[column])
            text_template += QString::fromLatin1(cell_templates[column]) + QStringLiteral(" | ");
    if (visible[column_count - 1])
        text_template += template_of(event, Foptions.FindByKind(event.log_type()));
    if (text_template.isEmpty())
        text_template = QStringLiteral("{text}");
    return expand(event, text_template) + repeat_suffix(event);
}

QString TLogTreeModel::html_text(const QModelIndex& index) const {
    const TNode* n = node_of(index);
    if (n == nullptr || !n->FEntry)
        return {};
    const ILogEvent& event = *n->FEntry;
    static constexpr std::array<const char*, column_count> labels{
        "When", "Last when", "Type", "Ticks", "ID", "Thread Id", "Repeat Count", "Text"};
    QString html = QStringLiteral("<p>");
    for (std::size_t line = 0; line < labels.size(); ++line) {
        html += QStringLiteral("<b>") + QString::fromLatin1(labels[line]) +
                QStringLiteral("</b><IND x=\"85\">: ");
        html += line < cell_templates.size()
                    ? expand(event, QString::fromLatin1(cell_templates[line]))
                    : event.text();
        html += line + 1 < labels.size() ? QStringLiteral("<br>") : QStringLiteral("</p>");
    }
    return html;
}

QModelIndex TLogTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column < 0 || column >= column_count || row < 0)
        return {};
    TNodeId parent_id = 0;
    if (parent.isValid()) {
        if (node_of(parent) == nullptr || parent.column() != 0)
            return {};
        parent_id = static_cast<TNodeId>(parent.internalId());
    }
    const TChildren* children = Fnodes->children(parent_id);
    const int count = children != nullptr ? static_cast<int>(children->ids.size()) : 0;
    if (row >= count)
        return {};
    const int pos = Fsort_order == Qt::DescendingOrder ? count - 1 - row : row;
    return createIndex(row, column, quintptr{children->ids[static_cast<std::size_t>(pos)]});
}

QModelIndex TLogTreeModel::parent(const QModelIndex& child) const {
    const TNode* n = node_of(child);
    return n != nullptr ? index_of_node(n->parent) : QModelIndex();
}

int TLogTreeModel::rowCount(const QModelIndex& parent) const {
    TNodeId id = 0;
    if (parent.isValid()) {
        if (node_of(parent) == nullptr || parent.column() != 0)
            return 0;
        id = static_cast<TNodeId>(parent.internalId());
    }
    const TChildren* children = Fnodes->children(id);
    return children != nullptr ? static_cast<int>(children->ids.size()) : 0;
}

int TLogTreeModel::columnCount(const QModelIndex& /*parent*/) const {
    return column_count;
}

QVariant TLogTreeModel::data(const QModelIndex& index, int role) const {
    const TNode* n = node_of(index);
    if (n == nullptr || !n->FEntry)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return display_lines(cell_text(*n->FEntry, index.column()));
    case Qt::BackgroundRole:
        if (const std::optional<TColor> color = row_color(index))
            return QBrush(to_qcolor(*color));
        return {};
    default:
        return {};
    }
}

QVariant TLogTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= column_count)
        return {};
    return QString::fromLatin1(column_captions[static_cast<std::size_t>(section)]);
}

Qt::ItemFlags TLogTreeModel::flags(const QModelIndex& index) const {
    const TNode* n = node_of(index);
    if (n == nullptr || !n->FEntry)
        return Qt::NoItemFlags;
    const auto kind = static_cast<Tlog_kind>(n->kind);
    // Spares the views a question for the children of each row they lay out.
    const Qt::ItemFlags leaf = kind == LK_GROUP ? Qt::NoItemFlags : Qt::ItemNeverHasChildren;
    const TZelLogEntryDisplayOptions* options = Foptions.FindByKind(kind);
    if (options != nullptr && !options->Enabled())
        return Qt::ItemIsSelectable | leaf;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | leaf;
}

} // namespace zel
