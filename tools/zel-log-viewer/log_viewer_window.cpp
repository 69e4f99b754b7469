#include "tools/zel-log-viewer/log_viewer_window.h"

#include "log/viewer/log_tree_model.h"
#include "log/viewer/log_visualizer.h"
#include "log/viewer/tree_order.h"
#include "tools/zel-log-viewer/log_entry_path.h"
#include "tools/zel-log-viewer/log_rows_clipboard.h"
#include "tools/zel-log-viewer/viewer_settle.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>
#include <functional>

namespace zel {

namespace {

const QString window_title = QStringLiteral("ZEL log viewer");

// How long a reload waits for the rows before it puts back what the user saw.
constexpr int reload_settle_ms = 30000;

struct color_mode_choice {
    const char* caption;
    ELogColorMode mode;
};

constexpr color_mode_choice color_mode_choices[] = {
    {"&None", lcmNone},
    {"By &kind", lcmKind},
    {"By &depth", lcmDepth},
    {"By &group", lcmGroup},
    {"Depth and kind", lcmDepthKind},
    {"Group and kind", lcmGroupKind},
};

QString kind_caption(int kind) {
    return kind == LK_DECORATION ? QStringLiteral("Decoration")
                                 : log_kind_names[static_cast<std::size_t>(kind)].toString();
}

QStringList local_files(const QMimeData* data) {
    QStringList paths;
    if (data)
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                paths.append(url.toLocalFile());
    return paths;
}

// What the user sees of the tree, by entry places, so that it survives reading the log again.
struct TViewPlaces {
    std::vector<TLogEntryPath> expanded; // parents before their children
    std::vector<TLogEntryPath> selected;
    TLogEntryPath current;
    TLogEntryPath top;
};

TViewPlaces capture_view(const TZelLogVisualizer& viewer, const ILogGroupPtr& root) {
    TViewPlaces places;
    const QAbstractItemModel* model = viewer.model();
    const auto place = [&](const QModelIndex& index) {
        return entry_path(viewer.EventOf(index), root);
    };
    const std::function<void(const QModelIndex&)> walk_expanded = [&](const QModelIndex& parent) {
        for (int row = 0, rows = model->rowCount(parent); row < rows; ++row)
            if (const QModelIndex child = model->index(row, 0, parent); viewer.isExpanded(child)) {
                places.expanded.push_back(place(child));
                walk_expanded(child);
            }
    };
    walk_expanded({});
    for (const QModelIndex& index : viewer.selectionModel()->selectedRows())
        places.selected.push_back(place(index));
    places.current = place(viewer.currentIndex());
    places.top = place(viewer.indexAt(QPoint(0, 0)));
    return places;
}

void restore_view(TZelLogVisualizer& viewer, const ILogGroupPtr& root, const TViewPlaces& places) {
    const auto node = [&](const TLogEntryPath& path) {
        return path.empty() ? QModelIndex() : viewer.NodeOf(find_entry(root, path));
    };
    for (const TLogEntryPath& path : places.expanded)
        if (const QModelIndex index = node(path); index.isValid())
            viewer.expand(index);
    if (const QModelIndex current = node(places.current); current.isValid())
        viewer.selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    QItemSelection selection;
    for (const TLogEntryPath& path : places.selected)
        if (const QModelIndex index = node(path); index.isValid())
            selection.select(index, index);
    viewer.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
    if (const QModelIndex top = node(places.top); top.isValid())
        viewer.scrollTo(top, QAbstractItemView::PositionAtTop);
}

} // namespace

TLogViewerWindow::TLogViewerWindow(const ILogRootPtr& root, QWidget* parent)
    : QMainWindow(parent)
    , Froot(root)
    , Fviewer(new TZelLogVisualizer(this))
    , Fdocument([this](const QString& path) { return Fviewer->LoadLogFromFile(path); }) {
    setCentralWidget(Fviewer);
    Fviewer->Loaded(Froot);
    Fmessage = new QLabel(this);
    Fmessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(Fmessage, 1);
    build_file_menu();
    build_edit_menu();
    build_view_menu();
    build_search_bar();
    setAcceptDrops(true);
    // A log just opened shows its own entries: its top-level group opens (a reload puts back
    // what the user had open instead).
    connect(Fviewer->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& under, int first, int last) {
                if (under.isValid() || Freloading)
                    return;
                for (int row = first; row <= last; ++row)
                    Fviewer->expand(Fviewer->model()->index(row, 0));
            });
    connect(&Fdocument, &TLogViewerDocument::message, this, &TLogViewerWindow::show_message);
    connect(&Fdocument, &TLogViewerDocument::reload_requested, this,
            &TLogViewerWindow::reload_keeping_view);
    show_message(QStringLiteral("Open a log file, a folder of logs or a crash list from the File "
                                "menu, or drop it on this window"),
                 false);
    update_title();
    resize(1100, 650);
}

TLogViewerWindow::~TLogViewerWindow() = default;

void TLogViewerWindow::open(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    show_message(QStringLiteral("Reading %1...").arg(paths.join(QStringLiteral(", "))), false);
    Fdocument.open(paths);
    update_title();
}

void TLogViewerWindow::reload_keeping_view() {
    // The reload runs the event loop (loading, settling), where a further change may ask again.
    if (Freloading) {
        Freload_again = true;
        return;
    }
    Freloading = true;
    do {
        Freload_again = false;
        const TViewPlaces places = capture_view(*Fviewer, Froot);
        Fviewer->Clear();
        Froot->clear_entries();
        Fdocument.reload();
        settle_viewer(*Fviewer, reload_settle_ms);
        restore_view(*Fviewer, Froot, places);
    } while (Freload_again);
    Freloading = false;
}

void TLogViewerWindow::copy_selection() const {
    QModelIndexList rows = Fviewer->selectionModel()->selectedRows();
    if (rows.isEmpty() && Fviewer->currentIndex().isValid())
        rows.append(Fviewer->currentIndex().siblingAtColumn(0));
    std::sort(rows.begin(), rows.end(), before_in_tree_order);
    QStringList texts;
    QStringList htmls;
    for (const QModelIndex& row : rows) {
        texts.append(Fviewer->ToFormatedText(row));
        htmls.append(Fviewer->ToHtmlText(row));
    }
    if (auto content = log_rows_mime_data(texts, htmls))
        QApplication::clipboard()->setMimeData(content.release());
}

bool TLogViewerWindow::find(ESearchDirection direction) {
    const QString text = Fsearch->text();
    if (text.isEmpty()) {
        Fsearch->setFocus();
        show_message(QStringLiteral("Type the text to search for"), false);
        return false;
    }
    const bool forwards = direction == sdNext;
    const auto search = [&](const QModelIndex& from) {
        return forwards ? Fviewer->SearchNext(text, from) : Fviewer->SearchPrevious(text, from);
    };
    const QModelIndex current = Fviewer->currentIndex();
    QModelIndex start;
    bool wrapped = false;
    if (current.isValid()) {
        start = forwards ? next_in_tree_order(current) : previous_in_tree_order(current);
        wrapped = !start.isValid();
    }
    bool found = search(start);
    if (!found && start.isValid()) {
        found = search({});
        wrapped = true;
    }
    if (!found)
        show_message(QStringLiteral("\"%1\" was not found").arg(text), false);
    else if (wrapped)
        show_message(QStringLiteral("Found \"%1\", continuing from the %2")
                         .arg(text, forwards ? QStringLiteral("top") : QStringLiteral("bottom")),
                     false);
    else
        show_message(QStringLiteral("Found \"%1\"").arg(text), false);
    return found;
}

QString TLogViewerWindow::message() const {
    return Fmessage->text();
}

void TLogViewerWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!local_files(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TLogViewerWindow::dropEvent(QDropEvent* event) {
    const QStringList paths = local_files(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    open(paths);
}

bool TLogViewerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Fsearch && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            find(key->modifiers().testFlag(Qt::ShiftModifier) ? sdPrevious : sdNext);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TLogViewerWindow::build_file_menu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&File"));
    menu->addAction(QStringLiteral("&Open log or crash list..."), QKeySequence::Open, this, [this] {
        open(QFileDialog::getOpenFileNames(
            this, QStringLiteral("Open logs"), {},
            QStringLiteral("Logs and crash lists (*.log *.crashlist);;All files (*)")));
    });
    menu->addAction(QStringLiteral("Open &folder of logs..."), this, [this] {
        if (const QString folder =
                QFileDialog::getExistingDirectory(this, QStringLiteral("Open a folder of logs"));
            !folder.isEmpty())
            open({folder});
    });
    menu->addAction(QStringLiteral("&Reload"), QKeySequence::Refresh, &Fdocument,
                    &TLogViewerDocument::request_reload);
    menu->addAction(QStringLiteral("&Close all"), this, &TLogViewerWindow::close_all);
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Quit"), QKeySequence::Quit, this, &QWidget::close);
}

void TLogViewerWindow::build_edit_menu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Edit"));
    menu->addAction(QStringLiteral("&Copy rows"), QKeySequence::Copy, this,
                    &TLogViewerWindow::copy_selection);
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Find..."), QKeySequence::Find, this, [this] {
        Fsearch->setFocus();
        Fsearch->selectAll();
    });
    menu->addAction(QStringLiteral("Find &next"), QKeySequence(Qt::Key_F3), this,
                    [this] { find(sdNext); });
    menu->addAction(QStringLiteral("Find &previous"), QKeySequence(Qt::SHIFT | Qt::Key_F3), this,
                    [this] { find(sdPrevious); });
}

void TLogViewerWindow::build_view_menu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&View"));
    QMenu* colors = menu->addMenu(QStringLiteral("&Colours"));
    auto* color_group = new QActionGroup(this);
    for (const color_mode_choice& choice : color_mode_choices) {
        QAction* action = colors->addAction(QString::fromLatin1(choice.caption));
        action->setCheckable(true);
        action->setChecked(Fviewer->ColorMode() == choice.mode);
        action->setData(static_cast<int>(choice.mode));
        color_group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, mode = choice.mode] { Fviewer->SetColorMode(mode); });
    }
    QMenu* kinds = menu->addMenu(QStringLiteral("&Kinds shown"));
    QList<QAction*> kind_actions;
    for (int kind = 0; kind < log_kind_count; ++kind) {
        QAction* action = kinds->addAction(kind_caption(kind));
        action->setCheckable(true);
        action->setChecked(Fviewer->EntryDisplayOptions().FindByKind(kind)->Visible());
        action->setData(kind);
        kind_actions.append(action);
        connect(action, &QAction::toggled, this, [this, kind](bool shown) {
            Fviewer->EntryDisplayOptions().FindByKind(kind)->set_Visible(shown);
        });
    }
    kinds->addSeparator();
    kinds->addAction(QStringLiteral("Show &all"), this, [kind_actions] {
        for (QAction* action : kind_actions)
            action->setChecked(true);
    });
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Columns"))->setMenu(Fviewer->HeaderPopupMenu());
}

void TLogViewerWindow::build_search_bar() {
    QToolBar* bar = addToolBar(QStringLiteral("Search"));
    bar->setObjectName(QStringLiteral("SearchBar"));
    bar->setMovable(false);
    Fsearch = new QLineEdit(bar);
    Fsearch->setPlaceholderText(
        QStringLiteral("Search the event texts (Enter: next, Shift+Enter: previous)"));
    Fsearch->setClearButtonEnabled(true);
    Fsearch->setMaximumWidth(420);
    Fsearch->installEventFilter(this);
    bar->addWidget(Fsearch);
    bar->addAction(QStringLiteral("Next"), this, [this] { find(sdNext); });
    bar->addAction(QStringLiteral("Previous"), this, [this] { find(sdPrevious); });
}

void TLogViewerWindow::show_message(const QString& text, bool error) {
    Fmessage->setText(text);
    Fmessage->setStyleSheet(error ? QStringLiteral("color: #b00000; font-weight: bold")
                                  : QString());
    Fmessage_is_error = error;
}

void TLogViewerWindow::close_all() {
    // The loader is filling a group of the root; it cannot be taken away under it.
    if (Fdocument.loading()) {
        show_message(QStringLiteral("Wait until the logs are read, then close them"), false);
        return;
    }
    Fviewer->Clear();
    Froot->clear_entries();
    Fdocument.close_all();
    update_title();
    show_message(QStringLiteral("Nothing open"), false);
}

void TLogViewerWindow::update_title() {
    QStringList names;
    for (const QString& path : Fdocument.paths())
        names.append(QFileInfo(path).fileName());
    setWindowTitle(names.isEmpty()
                       ? window_title
                       : names.join(QStringLiteral(", ")) + QStringLiteral(" - ") + window_title);
}

} // namespace zel
