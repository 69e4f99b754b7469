#include "tools/zel-log-viewer/log_viewer_document.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zel {

namespace {

constexpr int default_reload_delay_ms = 300;

bool is_crash_list(const QFileInfo& info) {
    return info.suffix().compare(QLatin1String("crashlist"), Qt::CaseInsensitive) == 0;
}

// Why `path` cannot be opened at all; empty when it can be read.
QString unusable_reason(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("File \"%1\" does not exist").arg(path);
    if (info.isDir()) {
        if (!info.isReadable() || !info.isExecutable())
            return QStringLiteral("Folder \"%1\" cannot be read").arg(path);
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("File \"%1\" cannot be read: %2").arg(path, file.errorString());
    return {};
}

QString nothing_loaded(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("No log could be read in folder \"%1\"").arg(path);
    if (is_crash_list(info))
        return QStringLiteral("No log named in crash list \"%1\" could be read").arg(path);
    return QStringLiteral("\"%1\" is not a log file").arg(path);
}

} // namespace

TLogViewerDocument::TLogViewerDocument(TLoader loader, QObject* parent)
    : QObject(parent)
    , Floader(std::move(loader)) {
    Freload_timer.setSingleShot(true);
    Freload_timer.setInterval(default_reload_delay_ms);
    connect(&Fwatcher, &QFileSystemWatcher::fileChanged, this, &TLogViewerDocument::file_changed);
    connect(&Fwatcher, &QFileSystemWatcher::directoryChanged, this,
            &TLogViewerDocument::file_changed);
    connect(&Freload_timer, &QTimer::timeout, this, [this] {
        if (Floading) {
            Freload_timer.start();
            return;
        }
        emit reload_requested();
    });
}

void TLogViewerDocument::open(const QStringList& paths) {
    Fqueued += paths;
    if (Floading)
        return;
    Floading = true;
    QStringList said;
    bool failed = false;
    while (!Fqueued.isEmpty()) {
        const QString path = QFileInfo(Fqueued.takeFirst()).absoluteFilePath();
        QString problem = unusable_reason(path);
        if (problem.isEmpty() && Fpaths.contains(path))
            problem = QStringLiteral("\"%1\" is already open").arg(path);
        if (problem.isEmpty()) {
            Fpaths.append(path);
            watch(path);
            if (!load(path))
                problem = nothing_loaded(path);
        }
        failed = failed || !problem.isEmpty();
        said.append(problem.isEmpty() ? QStringLiteral("Opened \"%1\"").arg(path) : problem);
    }
    Floading = false;
    if (!said.isEmpty())
        emit message(said.join(QStringLiteral("; ")), failed);
}

void TLogViewerDocument::reload() {
    Floading = true;
    QStringList problems;
    for (const QString& path : Fpaths) {
        if (QString problem = unusable_reason(path); !problem.isEmpty())
            problems.append(problem);
        else if (!load(path))
            problems.append(nothing_loaded(path));
        watch(path);
    }
    Floading = false;
    if (problems.isEmpty())
        emit message(QStringLiteral("Read again after a change on disk"), false);
    else
        emit message(problems.join(QStringLiteral("; ")), true);
}

void TLogViewerDocument::close_all() {
    Fpaths.clear();
    Freload_timer.stop();
    if (const QStringList watched = Fwatcher.files() + Fwatcher.directories(); !watched.isEmpty())
        Fwatcher.removePaths(watched);
}

bool TLogViewerDocument::load(const QString& path) {
    return Floader && Floader(path);
}

// A file is watched itself; a folder for the files it gains or loses and for each of its files.
// A file replaced by renaming another over it drops out of the watcher, so watching is renewed
// at each reload.
void TLogViewerDocument::watch(const QString& path) {
    QStringList paths{path};
    if (const QFileInfo info(path); info.isDir())
        for (const QFileInfo& file : QDir(path).entryInfoList(QDir::Files))
            paths.append(file.absoluteFilePath());
    const QStringList watched = Fwatcher.files() + Fwatcher.directories();
    paths.removeIf([&watched](const QString& candidate) {
        return !QFileInfo::exists(candidate) || watched.contains(candidate);
    });
    if (!paths.isEmpty())
        Fwatcher.addPaths(paths);
}

void TLogViewerDocument::file_changed(const QString& path) {
    // A file deleted or renamed away keeps what was read from it on screen: a reload would only
    // take it away.
    if (!QFileInfo::exists(path)) {
        emit message(QStringLiteral("File \"%1\" was removed or renamed; the view keeps what was "
                                    "read from it")
                         .arg(path),
                     true);
        return;
    }
    request_reload();
}

void TLogViewerDocument::request_reload() {
    // Counted from the first request, not the last: a session that keeps writing is still
    // shown as it goes.
    if (!Freload_timer.isActive())
        Freload_timer.start();
}

} // namespace zel
