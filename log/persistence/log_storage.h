#pragma once

#include "log/core/log_storage_interface.h"
#include "log/persistence/log_file_format.h"
#include "log/persistence/log_file_image.h"
#include "platform/whole_file.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace zel {

// Keeps one group's events in a text log file, rewritten whole whenever an event of one of its
// flush kinds arrives, so that the file on disk is complete after every such event. A crash log
// is listed in the root's crash list while its file is open and deleted when its group stops.
//
// The file is created exclusively: a name another file already has gets a later time stamp
// (a fixed name is used as given), and no other storage, in this process or another, writes a
// file that this one holds open. A folder or file that cannot be made is tried again at most
// once a second. A write cut short (a full disk) leaves the file cut after its last whole
// entry, reported once by an error event in the group; the next write that fits puts the whole
// log back.
//
// Locking: every setting, the file and each write are guarded by the storage's own re-entrant
// lock; under it the storage reads the group's started flag and the root's settings (leaf
// locks) and registers or unregisters its crash log (the crash list's locks come after it). The
// lock order is group, storage, then the entry lists and the crash list.
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

    // The clock that spaces out attempts to create the file (a steady one; tests set their own).
    using TRetryClock = std::function<std::chrono::steady_clock::time_point()>;
    void set_retry_clock(TRetryClock clock);

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
    // The fixed name, or the root's folder + file_name + the time stamp.
    QString built_name() const;
    // The time stamp of the built name, and a later one when that name is taken.
    void build_name_postfix(TDateTime when) const;
    void renew_name_postfix();
    // Under the lock: opens the file (see the class comment) and lists a crash log.
    bool open_file(const ILogRootPtr& root);
    void unlist_crash(const ILogRootPtr& root);
    platform::whole_file_status open_named(const QString& name);
    // Under the lock: the file's bytes for `group` as `state` shows it.
    std::string_view render(const ILogGroupPtr& group, const root_state& state);

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
    mutable TDateTime Fname_time = 0;
    platform::whole_file Ffile;
    QString Fopen_name;                               // the name the open file was created with
    std::optional<platform::file_identity> Fown_file; // the file created under the built name
    TRetryClock Fretry_clock;
    std::optional<std::chrono::steady_clock::time_point> Fnext_open; // after a failed open
    bool Fcrash_listed = false; // registered in the root's crash list
    bool Fcut_short = false;    // the last write did not fit; reported once
    ILogEventPtr Flast_event;
    log_file_image Fimage;
    bool Flayout_changed = true;
    root_state Fshown_state;       // what the image's entries were formatted with
    log_file_header Fshown_header; // what Fheader_bytes were made from
    QByteArray Fheader_bytes;
};

} // namespace zel
