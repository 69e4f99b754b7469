#include "log/diagnostics/crash_list_sync.h"

#include "log/core/log_root.h"
#include "log/support/log_text_codec.h"
#include "log/support/module_version.h"
#include "platform/file_lock.h"
#include "platform/process_info.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <mutex>

namespace zel {

namespace {

bool make_folder_of(const QString& file_name) {
    return QDir().mkpath(QFileInfo(file_name).absolutePath());
}

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
// process removed is dropped here too, so that it is not written back.
void merge(TCrashList& list, const QStringList& file_lines) {
    for (std::int32_t i = list.count() - 1; i >= 0; --i) {
        const TCrashList::TLine line = list.line(i);
        if (!line.storage && !file_lines.contains(line.text, Qt::CaseInsensitive))
            list.remove(i);
    }
    for (const QString& line : file_lines)
        list.add(line);
}

} // namespace

QString crash_line(const ILogStorage& storage) {
    return QFileInfo(get_module_file_name()).fileName() + QLatin1Char(':') +
           QString::number(platform::current_process_id()) + QLatin1Char('=') +
           storage.fq_filename();
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
    // What the root and the storage answer is read first: their locks come before the crash
    // list's in the lock order.
    const QString line = src ? crash_line(*src) : QString();
    const QString log_file = src ? src->fq_filename() : QString();
    const QString lock_path = crash_list_lock_path(root.crashlist_name());
    QString name = root.fq_filename();
    if (!make_folder_of(name)) {
        root.set_location(KF_PUBLIC_DOCUMENTS);
        name = root.fq_filename();
        if (!make_folder_of(name))
            return false;
    }

    TCrashList& list = root.crash_list();
    const std::scoped_lock in_process(list);
    platform::file_lock across_processes(QFile::encodeName(lock_path).toStdString());
    if (!across_processes.lock())
        return false;
    QFile file(name);
    if (!file.open(QIODevice::ReadWrite))
        return false;
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
        QFile::remove(name);
        return true;
    }
    const QByteArray bytes =
        encode_log_text(list.lines().join(QLatin1String("\r\n")) + QLatin1String("\r\n"));
    return file.seek(0) && file.write(bytes) == bytes.size() && file.resize(bytes.size());
}

} // namespace zel
