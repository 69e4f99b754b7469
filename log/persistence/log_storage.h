#pragma once

#include "log/core/log_storage_interface.h"
#include "log/persistence/log_file_format.h"
#include "log/persistence/log_file_image.h"
#include "platform/whole_file.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <mutex>

namespace zel {

// Keeps one group's events in a text log file, rewritten whole whenever an event of one of its
// flush kinds arrives, so that the file on disk is complete after every such event. A crash log
// is listed in the root's crash list while its file is open and deleted when its group stops.
//
// Locking: every setting and the file are guarded by the storage's own re-entrant lock. The
// group's and the root's state (started, formats, folder, crash list) is read or changed
// without holding it, because a group holds its own lock while it asks its storages for the
// final write; the lock order is group, storage, then the entry lists.
class TLogStorage final : public ILogStorage,
                          public ILogFileInternal,
                          public std::enable_shared_from_this<TLogStorage> {
public:
    TLogStorage();
    ~TLogStorage() override;
    TLogStorage(const TLogStorage&) = delete;
    TLogStorage& operator=(const TLogStorage&) = delete;

    bool crash_log() const override;
    std::int32_t decoration_padding() const override;
    QString decoration_pattern() const override;
    Tlog_kinds discard() const override;
    bool enabled() const override;
    QString event_header() const override;
    QString file_name() const override;
    double flush_interval() const override;
    Tlog_kinds flush_on() const override;
    QString fq_filename() const override;
    ILogGroupPtr group() const override;
    std::int32_t group_indent() const override;
    bool most_recent_first() const override;
    TOnSelectLogEvent on_select() const override;
    bool use_locale() const override;
    void set_crash_log(bool value) override;
    void set_decoration_padding(std::int32_t value) override;
    void set_decoration_pattern(const QString& value) override;
    void set_discard(Tlog_kinds value) override;
    void set_enabled(bool value) override;
    void set_event_header(const QString& value) override;
    void set_file_name(const QString& value) override;
    void set_flush_interval(double value) override;
    void set_flush_on(Tlog_kinds value) override;
    void set_group(const ILogGroupPtr& value) override;
    void set_group_indent(std::int32_t value) override;
    void set_most_recent_first(bool value) override;
    void set_on_select(TOnSelectLogEvent value) override;
    void set_use_locale(bool value) override;
    void set_fq_filename(const QString& value) override;

    bool write_event(const ILogEventPtr& event) override;
    void assign_settings(const ILogStoragePtr& src) override;
    void preset_crashlog(const QString& aname) override;

    void event_arrived(const ILogEventPtr& event) override;

private:
    // What the write takes from the group and the root, read before the storage lock.
    struct root_state {
        bool started = false;
        QString long_date_format;
        QString short_date_format;
        QString long_time_format;
        QString short_time_format;
        QString native_language;
    };

    // Sets a setting that shapes the entries; the image is laid out again at the next write.
    template <class T>
    void set_layout(T& field, const T& value);
    // Creates the folder of the log file, falling back once to the public documents folder.
    QString prepare_file_name(const ILogRootPtr& root) const;

    mutable std::recursive_mutex Flock;

    QString Ffixed_name;
    std::weak_ptr<ILogGroup> Fgroup; // the group owns its storages, not the reverse
    std::weak_ptr<ILogRoot> Froot;
    QString Ffile_name = QStringLiteral("log_file");
    bool Fmost_recent_first = true;
    double Fflush_interval = 0;
    Tlog_kinds Fflush_on;
    Tlog_kinds Fdiscard{LK_DEBUG};
    bool Fuse_locale = false;
    bool Fcrash_log = false;
    std::int32_t Fdecoration_padding = 120;
    QString Fdecoration_pattern = QStringLiteral("*");
    QString Fevent_header = QStringLiteral("{time}  {type}");
    std::int32_t Fgroup_indent = 4;
    TOnSelectLogEvent Fon_select;
    bool Fenabled = true;

    mutable QString Fname_postfix; // the time stamp of the name, built once
    platform::whole_file Ffile;
    QString Fopen_name; // the name the open file was created with
    ILogEventPtr Flast_event;
    log_file_image Fimage;
    bool Flayout_changed = true;
    root_state Fshown_state;       // what the image's entries were formatted with
    log_file_header Fshown_header; // what Fheader_bytes were made from
    QByteArray Fheader_bytes;
};

} // namespace zel
