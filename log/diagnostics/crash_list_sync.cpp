#include "log/diagnostics/crash_list_sync.h"

#include "log/core/known_folders.h"
#include "log/core/log_process.h"
#include "log/core/log_root.h"
#include "log/support/log_text_codec.h"
#include "platform/file_lock.h"
#include "platform/process_info.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
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

// The line that `src` owns; or, for a storage that is going away (the list let go of it
// first), its own line without an owner: only this process writes lines with its id, and only
// one storage writes a given log file.
std::int32_t line_of(const TCrashList& list, const ILogStoragePtr& src, const QString& line) {
    const std::int32_t owned = list.index_of_storage(src.get());
    if (owned >= 0 || src.use_count() > 0)
        return owned;
    const std::int32_t named = list.index_of(line);
    return named >= 0 && !list.line(named).storage ? named : -1;
}

// The file is open and both locks are held: merge, attach or detach, write back.
bool update(TCrashList& list, QFile& file, const ILogStoragePtr& src, const QString& line,
            const QString& log_file, bool adding) {
    merge(list, read_lines(file));
    if (src) {
        const std::int32_t owned = line_of(list, src, line);
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

QString crash_list_lock_path(const QString& list_file) {
    const QFileInfo list(list_file);
    return list.absolutePath() + QLatin1String("/.") + list.fileName() + QLatin1String(".lock");
}

bool sync_crash_list(TLogRoot& root, const ILogStoragePtr& src, bool adding) {
    // What the root and the storage answer is read outside the crash list's locks, which come
    // last in the lock order.
    const QString line = src ? crash_line(*src) : QString();
    const QString log_file = src ? src->fq_filename() : QString();
    QString list_file = root.fq_filename();
    if (!make_folder_of(list_file)) {
        // Only a folder that cannot be made moves the list (and the logs) elsewhere; a list
        // file that cannot be opened changes nothing.
        root.set_location(KF_PUBLIC_DOCUMENTS);
        list_file = root.fq_filename();
        if (!make_folder_of(list_file))
            return false;
    }
    TCrashList& list = root.crash_list();
    const std::scoped_lock in_process(list);
    platform::file_lock across_processes(
        QFile::encodeName(crash_list_lock_path(list_file)).toStdString());
    if (!across_processes.lock())
        return false;
    QFile file(list_file);
    return file.open(QIODevice::ReadWrite) && update(list, file, src, line, log_file, adding);
}

} // namespace zel
