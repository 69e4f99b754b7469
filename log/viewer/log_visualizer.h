#pragma once

#include "Common/threaded_queue.h"
#include "filesystem/byte_stream.h"
#include "log/core/log_interfaces.h"
#include "log/viewer/log_colors.h"
#include "log/viewer/log_entry_display_options.h"
#include "log/viewer/log_search.h"

#include <QEvent>
#include <QTreeView>

#include <atomic>
#include <chrono>
#include <memory>

class QMenu;
class QTimer;

namespace zel {

class TLogTreeModel;

// A live log shown as a multi-column tree: each group is a node whose children are its entries,
// each row one event's times, kind, counters and text, coloured by kind, depth or group.
//
// Events arrive from any thread through the OnAdded notification of the group the viewer is
// attached to (Loaded); they are queued and the GUI thread is woken once to place them. Rows are
// placed by their parent group and index in it, whatever the order of arrival. The tree holds a
// counted reference to each event and computes every text, colour and sort key from it.
//
// Typical use:
//   auto* viewer = new TZelLogVisualizer(parent);
//   viewer->Loaded(root);                  // attach to a root (Loaded() takes default_log_root)
//   viewer->LoadLogFromFile(path);         // a log file, a folder of logs or a crash list
class TZelLogVisualizer : public QTreeView, private IDisplayOptionsOwner {
    Q_OBJECT

public:
    // The event that wakes the GUI thread to drain the queue.
    static constexpr QEvent::Type WM_LOG_RECEIVED = static_cast<QEvent::Type>(QEvent::User + 33);

    // Column indexes (the position in the column list, whatever order the user drags them to).
    enum EColumn : int {
        colWhen,
        colLastWhen,
        colKind,
        colTicks,
        colUniqueId,
        colThreadId,
        colRepeatCount,
        colEvent,
        column_count
    };

    explicit TZelLogVisualizer(QWidget* owner = nullptr);
    ~TZelLogVisualizer() override;
    TZelLogVisualizer(const TZelLogVisualizer&) = delete;
    TZelLogVisualizer& operator=(const TZelLogVisualizer&) = delete;

    // Ends the setup once the host applied its settings: saves the selection colours, then
    // attaches the viewer to default_log_root (its OnAdded and OnLogFileLoaded) and shows it.
    void Loaded();
    // The same with an explicit source: `source` is displayed and feeds the viewer; when it is a
    // root, its file-loading notification is taken too. Null attaches to nothing.
    void Loaded(const ILogGroupPtr& source);

    ELogColorMode ColorMode() const;
    void SetColorMode(ELogColorMode value);
    TZelLogEntryDisplayOptionsCollection& EntryDisplayOptions() { return *FEntryDisplayOptions; }
    ILogGroupPtr RootDisplayedEntry() const;
    // Rebuilds the tree from `Value` at the next drain (nothing when it is the current root).
    void SetRootDisplayedEntry(const ILogGroupPtr& Value);
    TSearchData& SearchData() { return *FSearchData; }
    QMenu* HeaderPopupMenu() const { return FHeaderPopupMenu; }
    TLogTreeModel* LogModel() const { return Fmodel; }

    // Called on the GUI thread for each event taken from the queue, after the tree was updated.
    void set_OnLogAdded(TOnLogeventAdded value) { FOnLogAdded = std::move(value); }
    // Called for the loading notifications of the attached root; without a handler the viewer
    // lets the GUI thread process its pending events so that the tree keeps updating.
    void set_OnLogFileLoaded(TOnLogFileLoaded value) { FOnLogFileLoaded = std::move(value); }
    void set_OnSearchDone(TOnLogVisuSearchDone value) { FOnSearchDone = std::move(value); }

    // Passes `Entry` on exactly as a notification of the attached group would.
    void manual_add(const void* Sender, const ILogEventPtr& Entry);
    // Discards every queued event.
    void FlushMessageQueue();
    // Discards the queue, then removes every row.
    void Clear();
    // Loads a log file (or folder of logs, or crash list) into a new reader group of the
    // displayed root; the loader's result.
    bool LoadLogFromFile(const QString& FileName);
    // Loads one log from `FileStream` into the displayed root itself (StartFromRootNode) or into
    // a new reader group of it; the loader's result.
    bool LoadLogFromStream(TByteStream& FileStream, const QString& aCaption,
                           bool StartFromRootNode);

    // Finds the next (previous) row from `StartNode` inclusive (the first, or the last, row when
    // invalid) whose event text holds `SearchText` (the last search text when empty), collapsed
    // rows included; selects and shows it.
    bool SearchNext(const QString& SearchText, const QModelIndex& StartNode = {});
    bool SearchPrevious(const QString& SearchText, const QModelIndex& StartNode = {});

    // One line for the row, from the visible columns.
    QString ToFormatedText(const QModelIndex& Node) const;
    // A small rich-text description of the row's event.
    QString ToHtmlText(const QModelIndex& Node) const;

    // The event of a row, and the row of an event (invalid when it has none in this viewer).
    ILogEventPtr EventOf(const QModelIndex& Node) const;
    QModelIndex NodeOf(const ILogEventPtr& Entry) const;
    // A row colour that wins over every colour mode; no_color removes it.
    void SetOverrideColor(const QModelIndex& Node, TColor Color);
    // The host's background handler (TOnRowBackground); repaints.
    void set_OnRowBackground(TOnRowBackground value);

protected:
    bool event(QEvent* e) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    friend class TSearchData;

    void DoLogReceived(const void* Sender, const ILogEventPtr& Entry);
    void DoLogFileLoaded(const void* Sender, const ILogGroupPtr& LogGroup,
                         ELogLoadType LoadingType);
    // Drains now, or once the pause after the previous drain is over.
    void schedule_drain();
    void drain();
    // Tells the view of the changed rows it shows.
    void repaint_changed_rows();
    void post_wake_up();
    void detach();
    void build_columns();
    void build_header_menu();
    void header_sort_changed(int column, Qt::SortOrder order);
    void hide_rows_of_hidden_kinds(const QModelIndex& parent, int first, int last);
    void SetSelectionColors(bool search_colors);
    bool search(const QString& SearchText, const QModelIndex& StartNode,
                ESearchDirection direction);

    void DisplayOptionsRepaint() override;
    void DisplayOptionsVisibilityChanged(Tlog_kind kind, bool visible) override;

    std::unique_ptr<TZelLogEntryDisplayOptionsCollection> FEntryDisplayOptions;
    TLogTreeModel* Fmodel = nullptr;
    QMenu* FHeaderPopupMenu = nullptr;
    TThreadedQueueNoWait<ILogEvent> Fqueue;
    std::atomic<bool> FLock{false};
    std::atomic<bool> Fdestroying{false};
    std::atomic<bool> Fwake_pending{false}; // one posted wake-up until the drain starts
    QTimer* Fdrain_timer = nullptr;
    std::chrono::steady_clock::time_point Flast_drain;
    ILogGroupPtr Fsource; // the group whose OnAdded feeds the viewer
    TOnLogFileLoaded FOnLogFileLoaded;
    bool FLgvReady = false;
    std::unique_ptr<TSearchData> FSearchData;
    TOnLogVisuSearchDone FOnSearchDone;
    bool FSearcInProgres = false;
    TOnLogeventAdded FOnLogAdded;
    int Fsort_column = colWhen;
    Qt::SortOrder Fsort_order = Qt::DescendingOrder;
    bool Fsetting_sort = false;
};

} // namespace zel
