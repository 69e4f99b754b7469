#pragma once

#include "log/core/log_interfaces.h"
#include "log/viewer/log_search.h"
#include "tools/zel-log-viewer/log_viewer_document.h"

#include <QMainWindow>

class QLabel;
class QLineEdit;

namespace zel {

class TZelLogVisualizer;

// The log viewer program's window: the viewer over the whole client area, a File menu to open
// logs, a search bar, the colour modes and a kind filter, copying rows, a message line, and
// logs dropped on it. What it opens and when it reloads is decided by TLogViewerDocument.
class TLogViewerWindow : public QMainWindow {
    Q_OBJECT

public:
    // Shows `root`, below which every opened log is loaded.
    explicit TLogViewerWindow(const ILogRootPtr& root, QWidget* parent = nullptr);
    ~TLogViewerWindow() override;
    TLogViewerWindow(const TLogViewerWindow&) = delete;
    TLogViewerWindow& operator=(const TLogViewerWindow&) = delete;

    void open(const QStringList& paths);
    // Reads every opened log again, keeping the expanded groups, the selection, the current row
    // and the top row.
    void reload_keeping_view();
    // Copies the selected rows to the clipboard: one line each as text, and as HTML.
    void copy_selection() const;
    // Selects the next (previous) row after (before) the current one holding the search field's
    // text, continuing from the other end when there is none; false when no row holds it.
    bool find(ESearchDirection direction);

    TZelLogVisualizer& viewer() const { return *Fviewer; }
    TLogViewerDocument& document() { return Fdocument; }
    QLineEdit& search_field() const { return *Fsearch; }
    QString message() const;
    bool message_is_error() const { return Fmessage_is_error; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_file_menu();
    void build_edit_menu();
    void build_view_menu();
    void build_search_bar();
    void show_message(const QString& text, bool error);
    void close_all();
    void update_title();

    ILogRootPtr Froot;
    TZelLogVisualizer* Fviewer;
    TLogViewerDocument Fdocument;
    QLineEdit* Fsearch = nullptr;
    QLabel* Fmessage = nullptr;
    bool Fmessage_is_error = false;
    bool Freloading = false;
    bool Freload_again = false;
};

} // namespace zel
