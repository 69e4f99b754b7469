#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace zel {

// What the log viewer program has open, and what it tells the user about it: the log files,
// folders of logs and crash lists opened, in order, each read through the loader the window
// supplies (the viewer's LoadLogFromFile). An opened file that changes on disk (a session still
// writing it) asks for a reload a moment after the change, once for all the changes of that
// moment. Knows no widgets.
class TLogViewerDocument : public QObject {
    Q_OBJECT

public:
    using TLoader = std::function<bool(const QString& path)>;

    explicit TLogViewerDocument(TLoader loader, QObject* parent = nullptr);

    // Opens each path in turn. One that is missing or cannot be read is reported and not kept;
    // one that gives no log is reported and kept (its loaded group says what was found). A call
    // made while a load runs (the loader lets the event loop run) is done after it.
    void open(const QStringList& paths);

    // Reads every opened path again, in the order they were opened, into a tree the caller has
    // emptied.
    void reload();

    // Asks for a reload (reload_requested) a moment from now, and never while a load runs.
    void request_reload();

    // Forgets every opened path.
    void close_all();

    const QStringList& paths() const { return Fpaths; }
    bool loading() const { return Floading; }

    // The wait after a change on disk before a reload is asked for.
    void set_reload_delay(int milliseconds) { Freload_timer.setInterval(milliseconds); }

signals:
    // A sentence for the user about the last thing done; `error` when something could not be
    // shown.
    void message(const QString& text, bool error);
    // An opened file changed on disk and can be read again: the window keeps what the user sees
    // (expanded groups, selection), empties the tree, calls reload() and restores it.
    void reload_requested();

private:
    void open_now(const QString& path);
    bool load(const QString& path);
    void watch(const QString& path);
    void file_changed(const QString& path);

    TLoader Floader;
    QStringList Fpaths;
    QStringList Fqueued;
    bool Floading = false;
    QFileSystemWatcher Fwatcher;
    QTimer Freload_timer;
};

} // namespace zel
