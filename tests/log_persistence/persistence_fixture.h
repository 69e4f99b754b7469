#pragma once

// What the persistence tests share: a root of their own with persistence installed, folders
// redirected to a temporary one, events at chosen times, and file contents.

#include "log/core/date_time_format.h"
#include "log/core/log_event.h"
#include "log/core/log_root.h"
#include "log/persistence/log_persistence.h"
#include "tests/log_core/qt_print.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

// Readable file contents in failure messages.
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << "\n" << bytes.toStdString();
}

namespace zel::testing {

inline TDateTime at(int year, int month, int day, int hour, int minute, int second, int msec = 0) {
    return to_date_time(QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec)));
}

inline constexpr TDateTime one_second = 1.0 / 86400.0;

// An entry of `kind` added to `group` as if it had happened at `when`.
inline ILogEventPtr add_at(const ILogGroupPtr& group, Tlog_kind kind, const QString& text,
                           TDateTime when) {
    const ILogEventPtr event = group->new_event(kind);
    event->BeginUpdate();
    event->add(text);
    auto& restored = dynamic_cast<TLogEvent&>(*event);
    restored.set_when(when);
    restored.set_last_when(when);
    event->EndUpdate();
    return event;
}

// A group with `text` below `parent`, created at `when`.
inline ILogGroupPtr group_at(const ILogGroupPtr& parent, const QString& text, TDateTime when,
                             Tgroup_kind kind = GK_NONE) {
    ILogGroupPtr group;
    parent->add_seeded_group(group, kind);
    group->set_text(text);
    auto& restored = dynamic_cast<TLogEvent&>(*group);
    restored.set_when(when);
    restored.set_last_when(when);
    return group;
}

// Whether this process holds `path` open (its descriptors are links in /proc/self/fd).
inline bool held_open(const QString& path) {
    const QString wanted = QFileInfo(path).canonicalFilePath();
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::Files))
        if (!wanted.isEmpty() && fd.symLinkTarget() == wanted)
            return true;
    return false;
}

inline QByteArray file_bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

class PersistenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // Every folder kind lands below the temporary folder.
        for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            qputenv(variable, dir.filePath(QString::fromLatin1(variable)).toLocal8Bit());
        install_log_persistence();
        root = TLogRoot::Create();
        root->set_header({});
        root->set_footer({});
    }

    void TearDown() override { root->clear_all(); }

    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    std::shared_ptr<TLogRoot> root;
};

} // namespace zel::testing
