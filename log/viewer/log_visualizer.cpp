#include "log/viewer/log_visualizer.h"

#include "log/core/log_procedures.h"
#include "log/viewer/log_row_delegate.h"
#include "log/viewer/log_tree_model.h"
#include "log/viewer/tree_order.h"

#include <QAction>
#include <QCoreApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

namespace zel {

namespace {

constexpr std::array<int, TZelLogVisualizer::column_count> column_widths{100, 100, 80, 80,
                                                                         60,  60,  80, 813};

// One drain turn stops after this much work and continues at the next turn, so that the GUI
// thread keeps painting and answering during a burst.
constexpr auto drain_turn = std::chrono::milliseconds(12);
constexpr std::int32_t rows_per_step = 1024;
// Pause between two drains while events keep coming: each drain makes the tree view lay out its
// rows again, so bursts are taken a bounded number of times per second.
constexpr auto drain_pause = std::chrono::milliseconds(50);
constexpr int items_per_turn = 4096;

// Sets a flag for the length of a scope and clears it on every way out (a bool or an atomic one).
template <class Flag>
class TFlagScope {
public:
    explicit TFlagScope(Flag& flag)
        : Fflag(flag) {
        Fflag = true;
    }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;
    ~TFlagScope() { Fflag = false; }

private:
    Flag& Fflag;
};

} // namespace

TZelLogVisualizer::TZelLogVisualizer(QWidget* owner)
    : QTreeView(owner)
    , FEntryDisplayOptions(std::make_unique<TZelLogEntryDisplayOptionsCollection>(
          static_cast<IDisplayOptionsOwner*>(this)))
    , FSearchData(std::make_unique<TSearchData>(this)) {
    reset_group_color_counter();
    for (int kind = 0; kind < log_kind_count; ++kind)
        FEntryDisplayOptions->Add();
    Fmodel = new TLogTreeModel(*FEntryDisplayOptions, this);
    setModel(Fmodel);
    setItemDelegate(new TLogRowDelegate(colEvent, this));
    setUniformRowHeights(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    build_columns();
    build_header_menu();
    Fdrain_timer = new QTimer(this);
    Fdrain_timer->setSingleShot(true);
    connect(Fdrain_timer, &QTimer::timeout, this, &TZelLogVisualizer::drain);
    connect(Fmodel, &QAbstractItemModel::rowsInserted, this,
            &TZelLogVisualizer::hide_rows_of_hidden_kinds);
}

TZelLogVisualizer::~TZelLogVisualizer() {
    Fdestroying.store(true);
    detach();
    FlushMessageQueue();
    setModel(nullptr);
    delete Fmodel;
}

void TZelLogVisualizer::build_columns() {
    QHeaderView* columns = header();
    columns->setSectionsMovable(true);
    columns->setSectionsClickable(true);
    columns->setStretchLastSection(true);
    columns->setSortIndicatorShown(true);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < column_count; ++column) {
        columns->resizeSection(column, column_widths[static_cast<std::size_t>(column)]);
        setColumnHidden(column, column >= colLastWhen && column <= colRepeatCount);
    }
    setTreePosition(colEvent);
    Fsetting_sort = true;
    columns->setSortIndicator(Fsort_column, Fsort_order);
    Fsetting_sort = false;
    Fmodel->sort(Fsort_column, Fsort_order);
    connect(columns, &QHeaderView::sortIndicatorChanged, this,
            &TZelLogVisualizer::header_sort_changed);
}

void TZelLogVisualizer::header_sort_changed(int column, Qt::SortOrder /*order*/) {
    if (Fsetting_sort)
        return;
    // The Event column never becomes the sort column by a click; any other click flips the
    // direction, also when the column changed.
    if (column != colEvent) {
        Fsort_column = column;
        Fsort_order = Fsort_order == Qt::DescendingOrder ? Qt::AscendingOrder : Qt::DescendingOrder;
    }
    Fsetting_sort = true;
    header()->setSortIndicator(Fsort_column, Fsort_order);
    Fsetting_sort = false;
    if (column != colEvent)
        Fmodel->sort(Fsort_column, Fsort_order);
}

void TZelLogVisualizer::build_header_menu() {
    FHeaderPopupMenu = new QMenu(this);
    FHeaderPopupMenu->setObjectName(QStringLiteral("HeaderPopupMenu"));
    std::vector<QAction*> items;
    for (int column = 0; column < column_count; ++column) {
        QAction* item =
            FHeaderPopupMenu->addAction(Fmodel->headerData(column, Qt::Horizontal).toString());
        item->setCheckable(true);
        item->setChecked(!isColumnHidden(column));
        item->setData(column);
        connect(item, &QAction::triggered, this, [this, item] {
            const int index = item->data().toInt();
            if (index >= Fmodel->columnCount())
                return;
            setColumnHidden(index, !isColumnHidden(index));
            item->setChecked(!isColumnHidden(index));
        });
        items.push_back(item);
    }
    FHeaderPopupMenu->addSeparator();
    const auto show_all = [this, items](bool visible) {
        for (int column = 0; column < column_count; ++column) {
            setColumnHidden(column, !visible);
            items[static_cast<std::size_t>(column)]->setChecked(visible);
        }
    };
    connect(FHeaderPopupMenu->addAction(QStringLiteral("View all")), &QAction::triggered, this,
            [show_all] { show_all(true); });
    connect(FHeaderPopupMenu->addAction(QStringLiteral("View none")), &QAction::triggered, this,
            [show_all] { show_all(false); });
    header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { FHeaderPopupMenu->popup(header()->mapToGlobal(at)); });
}

void TZelLogVisualizer::Loaded() {
    Loaded(default_log_root.load());
}

void TZelLogVisualizer::Loaded(const ILogGroupPtr& source) {
    FLgvReady = true;
    FSearchData->save_colors(from_qcolor(palette().color(QPalette::Active, QPalette::Highlight)),
                             from_qcolor(palette().color(QPalette::Inactive, QPalette::Highlight)));
    detach();
    Fsource = source;
    Fmodel->set_root(source);
    if (!source)
        return;
    source->set_OnAdded(
        [this](const void* Sender, const ILogEventPtr& Entry) { DoLogReceived(Sender, Entry); });
    if (const auto root = std::dynamic_pointer_cast<ILogRoot>(source))
        root->set_OnLogFileLoaded(
            [this](const void* Sender, const ILogGroupPtr& LogGroup, ELogLoadType LoadingType) {
                DoLogFileLoaded(Sender, LogGroup, LoadingType);
            });
    DoLogReceived(this, source); // the entries it holds already
}

void TZelLogVisualizer::detach() {
    if (!Fsource)
        return;
    // Both wait for calls in progress on other threads: afterwards nothing calls this viewer.
    Fsource->set_OnAdded(nullptr);
    if (const auto root = std::dynamic_pointer_cast<ILogRoot>(Fsource))
        root->set_OnLogFileLoaded(nullptr);
    Fsource.reset();
}

ELogColorMode TZelLogVisualizer::ColorMode() const {
    return Fmodel->color_mode();
}

void TZelLogVisualizer::SetColorMode(ELogColorMode value) {
    if (value == Fmodel->color_mode())
        return;
    Fmodel->set_color_mode(value);
    viewport()->update();
}

ILogGroupPtr TZelLogVisualizer::RootDisplayedEntry() const {
    return Fmodel->root();
}

void TZelLogVisualizer::SetRootDisplayedEntry(const ILogGroupPtr& Value) {
    if (Value == Fmodel->root())
        return;
    FlushMessageQueue();
    Fmodel->set_root(nullptr);
    DoLogReceived(this, Value);
}

void TZelLogVisualizer::manual_add(const void* Sender, const ILogEventPtr& Entry) {
    DoLogReceived(Sender, Entry);
}

void TZelLogVisualizer::DoLogReceived(const void* /*Sender*/, const ILogEventPtr& Entry) {
    if (FLock.load() || Fdestroying.load() || !Entry)
        return;
    Fqueue.Enqueue(Entry);
    if (!Fwake_pending.exchange(true))
        post_wake_up();
}

void TZelLogVisualizer::post_wake_up() {
    QCoreApplication::postEvent(this, new QEvent(WM_LOG_RECEIVED));
}

bool TZelLogVisualizer::event(QEvent* e) {
    if (e->type() != WM_LOG_RECEIVED)
        return QTreeView::event(e);
    schedule_drain();
    return true;
}

void TZelLogVisualizer::schedule_drain() {
    const auto since = std::chrono::steady_clock::now() - Flast_drain;
    if (since >= drain_pause) {
        drain();
        return;
    }
    if (!Fdrain_timer->isActive())
        Fdrain_timer->start(std::chrono::ceil<std::chrono::milliseconds>(drain_pause - since));
}

void TZelLogVisualizer::drain() {
    // Cleared before taking items: an arrival from now on posts a new wake-up.
    Fwake_pending.store(false);
    if (FLock.load() || Fdestroying.load())
        return;
    const auto deadline = std::chrono::steady_clock::now() + drain_turn;
    std::vector<ILogEventPtr> taken;
    ILogEventPtr item;
    while (static_cast<int>(taken.size()) < items_per_turn && Fqueue.Dequeue(item)) {
        if (!Fmodel->root()) {
            const auto group = std::dynamic_pointer_cast<ILogGroup>(item);
            if (!group)
                break; // nothing to show it under; the rest waits for a root
            Clear();
            Fmodel->set_root(group);
        }
        Fmodel->note_arrival(item);
        taken.push_back(std::move(item));
        if (std::chrono::steady_clock::now() >= deadline)
            break;
    }
    while (Fmodel->sync(rows_per_step) && std::chrono::steady_clock::now() < deadline) {
    }
    repaint_changed_rows();
    Flast_drain = std::chrono::steady_clock::now();
    if (FOnLogAdded)
        for (const ILogEventPtr& entry : taken)
            FOnLogAdded(this, entry);
    if ((Fmodel->has_work() || !Fqueue.empty()) && !Fwake_pending.exchange(true))
        post_wake_up();
}

void TZelLogVisualizer::repaint_changed_rows() {
    if (!Fmodel->has_changes())
        return;
    // A changed row off screen is laid out again when the view next lays out its rows.
    std::vector<QModelIndex> shown;
    if (isVisible()) {
        const int bottom = viewport()->height();
        for (QModelIndex row = indexAt(QPoint(0, 0)); row.isValid(); row = indexBelow(row)) {
            shown.push_back(row.siblingAtColumn(0));
            const QRect area = visualRect(row);
            if (!area.isValid() || area.bottom() >= bottom)
                break;
        }
    }
    Fmodel->flush_changes([&shown](const QModelIndex& row) {
        return std::find(shown.begin(), shown.end(), row) != shown.end();
    });
}

void TZelLogVisualizer::FlushMessageQueue() {
    const TFlagScope lock(FLock);
    while (Fqueue.Dequeue()) {
    }
}

void TZelLogVisualizer::Clear() {
    if (!Fdestroying.load())
        FlushMessageQueue();
    Fmodel->clear();
}

bool TZelLogVisualizer::LoadLogFromFile(const QString& FileName) {
    const ILogGroupPtr root = Fmodel->root();
    ILogGroupPtr group;
    if (!root || !root->add_seeded_group(group, GK_READER) || !group)
        return false;
    return group->LoadFromFile(FileName);
}

bool TZelLogVisualizer::LoadLogFromStream(TByteStream& FileStream, const QString& aCaption,
                                          bool StartFromRootNode) {
    const ILogGroupPtr root = Fmodel->root();
    if (!root)
        return false;
    if (StartFromRootNode)
        return root->LoadFromStream(FileStream, aCaption);
    ILogGroupPtr group;
    if (!root->add_seeded_group(group, GK_READER) || !group)
        return false;
    return group->LoadFromStream(FileStream, aCaption);
}

void TZelLogVisualizer::DoLogFileLoaded(const void* Sender, const ILogGroupPtr& LogGroup,
                                        ELogLoadType LoadingType) {
    if (FOnLogFileLoaded)
        FOnLogFileLoaded(Sender, LogGroup, LoadingType);
    else
        QCoreApplication::processEvents(); // keeps the tree updating during a long load
}

bool TZelLogVisualizer::SearchNext(const QString& SearchText, const QModelIndex& StartNode) {
    return search(SearchText, StartNode, sdNext);
}

bool TZelLogVisualizer::SearchPrevious(const QString& SearchText, const QModelIndex& StartNode) {
    return search(SearchText, StartNode, sdPrevious);
}

namespace {

QModelIndex last_descendant(const QAbstractItemModel& model, QModelIndex at) {
    for (int rows = model.rowCount(at); rows > 0; rows = model.rowCount(at))
        at = model.index(rows - 1, 0, at);
    return at;
}

} // namespace

bool TZelLogVisualizer::search(const QString& SearchText, const QModelIndex& StartNode,
                               ESearchDirection direction) {
    const TFlagScope in_progress(FSearcInProgres);
    bool result = false;
    QString text = SearchText.isEmpty() ? FSearchData->Text() : SearchText;
    if (!text.isEmpty())
        result = true;
    else if (FOnSearchDone)
        FOnSearchDone(this, nullptr, result, text, direction);
    if (!result || text.isEmpty())
        return result;
    FSearchData->SetActive(true);
    FSearchData->set_Text(text);
    QModelIndex at = StartNode.isValid()   ? StartNode.siblingAtColumn(0)
                     : direction == sdNext ? Fmodel->index(0, 0)
                                           : last_descendant(*Fmodel, {});
    clearSelection();
    const QString wanted = TSearchData::fold_ascii(text);
    for (; at.isValid();
         at = direction == sdNext ? next_in_tree_order(at) : previous_in_tree_order(at)) {
        const ILogEventPtr entry = Fmodel->event_of(at);
        const QString haystack = entry ? TSearchData::fold_ascii(entry->text()) : QString();
        if (haystack.isEmpty() || !haystack.contains(wanted))
            continue;
        selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
        scrollTo(at, QAbstractItemView::EnsureVisible);
        FSearchData->set_EventId(entry->id());
        FSearchData->SetColors(true);
        if (FOnSearchDone)
            FOnSearchDone(this, entry, result, text, direction);
        return result;
    }
    result = false;
    if (FOnSearchDone)
        FOnSearchDone(this, nullptr, result, text, direction);
    return result;
}

void TZelLogVisualizer::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    if (!FSearcInProgres)
        FSearchData->SetColors(false);
}

void TZelLogVisualizer::SetSelectionColors(bool search_colors) {
    QPalette colors = palette();
    const QColor focused =
        to_qcolor(search_colors ? search_color : FSearchData->OriginalFocusedSelectionColor());
    const QColor unfocused =
        to_qcolor(search_colors ? search_color : FSearchData->OriginalUnFocusedSelectionColor());
    colors.setColor(QPalette::Active, QPalette::Highlight, focused);
    colors.setColor(QPalette::Inactive, QPalette::Highlight, unfocused);
    setPalette(colors);
}

QString TZelLogVisualizer::ToFormatedText(const QModelIndex& Node) const {
    TLogTreeModel::TVisibleColumns visible{};
    for (int column = 0; column < column_count; ++column)
        visible[static_cast<std::size_t>(column)] = !isColumnHidden(column);
    return Fmodel->formated_text(Node, visible);
}

QString TZelLogVisualizer::ToHtmlText(const QModelIndex& Node) const {
    return Fmodel->html_text(Node);
}

ILogEventPtr TZelLogVisualizer::EventOf(const QModelIndex& Node) const {
    return Fmodel->event_of(Node);
}

QModelIndex TZelLogVisualizer::NodeOf(const ILogEventPtr& Entry) const {
    return Fmodel->index_of(Entry);
}

void TZelLogVisualizer::SetOverrideColor(const QModelIndex& Node, TColor Color) {
    Fmodel->set_override_color(Node, Color);
}

void TZelLogVisualizer::set_OnRowBackground(TOnRowBackground value) {
    Fmodel->set_OnRowBackground(std::move(value));
    viewport()->update();
}

void TZelLogVisualizer::hide_rows_of_hidden_kinds(const QModelIndex& parent, int first, int last) {
    bool any_hidden = false;
    for (int kind = 0; kind < log_kind_count; ++kind)
        any_hidden = any_hidden || !FEntryDisplayOptions->FindByKind(kind)->Visible();
    if (!any_hidden)
        return;
    for (int row = first; row <= last; ++row) {
        const ILogEventPtr entry = Fmodel->event_of(Fmodel->index(row, 0, parent));
        const TZelLogEntryDisplayOptions* options =
            entry ? FEntryDisplayOptions->FindByKind(entry->log_type()) : nullptr;
        if (options != nullptr && !options->Visible())
            setRowHidden(row, parent, true);
    }
}

void TZelLogVisualizer::DisplayOptionsRepaint() {
    viewport()->update();
}

void TZelLogVisualizer::DisplayOptionsVisibilityChanged(Tlog_kind kind, bool visible) {
    Fmodel->for_each_row({}, [&](const QModelIndex& row) {
        const ILogEventPtr entry = Fmodel->event_of(row);
        if (entry && entry->log_type() == kind)
            setRowHidden(row.row(), row.parent(), !visible);
    });
}

} // namespace zel
