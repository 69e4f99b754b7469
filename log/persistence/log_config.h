#pragma once

#include "log/core/known_folders.h"
#include "log/core/log_interfaces.h"
#include "log/core/log_storage_interface.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace zel {

class TLog_config;

// One configured file storage: the storage itself and the name of the group it goes to.
// Every property but parent_group reads and writes the storage.
class TLogStorage_config {
public:
    TLogStorage_config(); // with a new storage of default settings

    QString parent_group() const { return Fparent_group; }
    void set_parent_group(const QString& value) { Fparent_group = value; }
    QString file_name() const;
    void set_file_name(const QString& value);
    bool most_recent_first() const;
    void set_most_recent_first(bool value);
    double flush_interval() const;
    void set_flush_interval(double value);
    Tlog_kinds flush_on() const;
    void set_flush_on(Tlog_kinds value);
    Tlog_kinds discard() const;
    void set_discard(Tlog_kinds value);
    bool use_locale() const;
    void set_use_locale(bool value);
    bool crash_log() const;
    void set_crash_log(bool value);
    std::int32_t decoration_padding() const;
    void set_decoration_padding(std::int32_t value);
    QString decoration_pattern() const;
    void set_decoration_pattern(const QString& value);
    QString event_header() const;
    void set_event_header(const QString& value);
    std::int32_t group_indent() const;
    void set_group_indent(std::int32_t value);
    bool enabled() const;
    void set_enabled(bool value);

    const ILogStoragePtr& storage() const { return Fstorage; }
    void set_storage(const ILogStoragePtr& value) { Fstorage = value; }
    QString fq_filename() const;

    // Copies the storage settings (assign_settings) and the parent group.
    void assign(const TLogStorage_config& src);

private:
    ILogStoragePtr Fstorage;
    QString Fparent_group;
};

// The storages of a TLog_config, which owns them.
class Tlog_Storage_list {
public:
    TLogStorage_config& add();
    std::int32_t count() const { return static_cast<std::int32_t>(Fitems.size()); }
    // Indexes outside the list give null and change nothing.
    TLogStorage_config* storage(std::int32_t index) const;
    void set_storage(std::int32_t index, const TLogStorage_config& value);

private:
    std::vector<std::unique_ptr<TLogStorage_config>> Fitems;
};

// The declarative set-up of the process's logging: the root's settings, a list of file
// storages and what is written at start. Create it, set its properties, then call Loaded.
// Every root setting lives in the root; the configuration keeps only its switches and storages.
class TLog_config {
public:
    // Takes default_log_root, or creates the root and makes it default_log_root.
    TLog_config();
    TLog_config(const TLog_config&) = delete;
    TLog_config& operator=(const TLog_config&) = delete;

    // Registers every storage on its group (parent_group: empty or the root's name is the root;
    // a missing group is created only when the root's autocreate_group is on), then writes the
    // start-up information that the switches ask for.
    void Loaded();
    // Sets enabled on every storage of the root and of all groups below it.
    void enable_storages(bool enabled);

    const ILogRootPtr& root() const { return Froot; }
    Tlog_Storage_list& storages() { return Fstorages; }
    QString fq_filename() const; // the crash list's file

    Tknown_folder location() const;
    void set_location(Tknown_folder value);
    QString crashlist_name() const;
    void set_crashlist_name(const QString& value);
    QString path() const;
    void set_path(const QString& value);
    QString true_string() const;
    void set_true_string(const QString& value);
    QString false_string() const;
    void set_false_string(const QString& value);
    QString short_date_format() const;
    void set_short_date_format(const QString& value);
    QString long_date_format() const;
    void set_long_date_format(const QString& value);
    QString short_time_format() const;
    void set_short_time_format(const QString& value);
    QString long_time_format() const;
    void set_long_time_format(const QString& value);
    QString native_language() const;
    void set_native_language(const QString& value);
    QString root_name() const;
    void set_root_name(const QString& value);
    QString root_header() const;
    void set_root_header(const QString& value);
    QString root_footer() const;
    void set_root_footer(const QString& value);
    Tlog_kinds discard() const;
    void set_discard(Tlog_kinds value);
    bool autocreate_group() const;
    void set_autocreate_group(bool value);
    bool autostart() const;
    void set_autostart(bool value);

    bool log_exceptions() const { return Flog_exceptions; }
    // Registers the root for exception capture (true stays only when that worked) or
    // unregisters it.
    void set_log_exceptions(bool value);
    bool log_startup_info() const { return Flog_startup_info; }
    void set_log_startup_info(bool value) { Flog_startup_info = value; }
    bool log_cpu() const { return Flog_cpu; }
    void set_log_cpu(bool value) { Flog_cpu = value; }
    bool log_memory() const { return Flog_memory; }
    void set_log_memory(bool value) { Flog_memory = value; }
    bool log_commandline() const { return Flog_commandline; }
    void set_log_commandline(bool value) { Flog_commandline = value; }

private:
    ILogRootPtr Froot;
    Tlog_Storage_list Fstorages;
    bool Flog_exceptions = false;
    bool Flog_startup_info = true;
    bool Flog_cpu = true;
    bool Flog_memory = true;
    bool Flog_commandline = false;
};

// The configuration the main window stores: one storage "log_file" written on every kind, debug
// events included, in "ZEL/ZEL Kettle/1/log" below the common application data folder, with the
// main window's texts and formats. Loaded is left to the caller.
std::unique_ptr<TLog_config> main_window_log_config();

} // namespace zel
