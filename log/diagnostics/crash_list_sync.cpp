#include "log/diagnostics/crash_list_sync.h"

#include "log/core/log_process.h"
#include "log/core/log_root.h"
#include "log/support/log_text_codec.h"
#include "platform/file_lock.h"
#include "platform/process_info.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QStringList>

#include <mutex>

namespace zel {

namespace {

QStringList read_lines(QFile& file) {
    const QString text = decode_log_text(file.readAll());
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    return lines;
}

// The file is the truth about lines that no storage of this process owns: a line another
// process removed is dropped here too, so that it is not written back. Lines compare without
// regard to case; folded copies keep that cheap.
void merge(TCrashList& list, const QStringList& file_lines) {
    QSet<QString> in_file;
    for (const QString& line : file_lines)
        in_file.insert(line.toCaseFolded());
    QSet<QString> in_list;
    for (std::int32_t i = list.count() - 1; i >= 0; --i) {
        const TCrashList::TLine line = list.line(i);
        const QString folded = line.text.toCaseFolded();
        if (!line.storage && !in_file.contains(folded))
            list.remove(i);
        else
            in_list.insert(folded);
    }
    for (const QString& line : file_lines) {
        if (!in_list.contains(line.toCaseFolded()))
            list.add(line);
    }
}

// Opens the crash-list file, making its folder when it is missing.
bool open_list_file(QFile& file) {
    if (file.open(QIODevice::ReadWrite))
        return true;
    return QDir().mkpath(QFileInfo(file.fileName()).absolutePath()) &&
           file.open(QIODevice::ReadWrite);
}

// The file is open and both locks are held: merge, attach or detach, write back.
bool update(TCrashList& list, QFile& file, const ILogStoragePtr& src, const QString& line,
            const QString& log_file, bool adding) {
    merge(list, read_lines(file));
    if (src) {
        const std::int32_t owned = list.index_of_storage(src.get());
        if (owned < 0 && adding) {
            list.attach(list.add(line), src);
        } else if (owned >= 0 && !adding) {
            list.remove(owned);
            QFile::remove(log_file);
        }
    }
    if (list.count() == 0) {
        file.close();
        return QFile::remove(file.fileName());
    }
    const QByteArray bytes =
        encode_log_text(list.lines().join(QLatin1String("\r\n")) + QLatin1String("\r\n"));
    return file.seek(0) && file.write(bytes) == bytes.size() && file.resize(bytes.size());
}

} // namespace

QString crash_line(const ILogStorage& storage) {
    return log_module_name() + QLatin1Char(':') + QString::number(platform::current_process_id()) +
           QLatin1Char('=') + storage.fq_filename();
}

QString crash_list_lock_path(const QString& crashlist_name) {
    static const QString folder = [] {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        return runtime.isEmpty() ? QDir::tempPath() : runtime;
    }();
    QString name = crashlist_name;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return folder + QLatin1String("/zel-") + name + QLatin1String(".crashlist.lock");
}

bool sync_crash_list(TLogRoot& root, const ILogStoragePtr& src, bool adding) {
    // What the root and the storage answer is read outside the crash list's locks, which come
    // last in the lock order.
    const QString line = src ? crash_line(*src) : QString();
    const QString log_file = src ? src->fq_filename() : QString();
    const QString lock_path = crash_list_lock_path(root.crashlist_name());
    TCrashList& list = root.crash_list();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1) // the folder cannot be made: the list moves where the logs go then
            root.set_location(KF_PUBLIC_DOCUMENTS);
        QFile file(root.fq_filename());
        const std::scoped_lock in_process(list);
        platform::file_lock across_processes(QFile::encodeName(lock_path).toStdString());
        if (!across_processes.lock())
            return false;
        if (open_list_file(file))
            return update(list, file, src, line, log_file, adding);
    }
    return false;
}

} // namespace zel
