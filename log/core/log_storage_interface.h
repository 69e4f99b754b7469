#pragma once

#include "log/core/log_interfaces.h"

#include <QString>

#include <cstdint>

namespace zel {

// Keeps one group's events somewhere (a text file in the persistence layer). A storage
// registered on a group receives every event finished in that group or below it.
class ILogStorage {
public:
    virtual ~ILogStorage() = default;

    virtual bool crash_log() const = 0;
    virtual std::int32_t decoration_padding() const = 0;
    virtual QString decoration_pattern() const = 0;
    virtual Tlog_kinds discard() const = 0;
    virtual bool enabled() const = 0;
    virtual QString event_header() const = 0;
    virtual QString file_name() const = 0;
    virtual double flush_interval() const = 0;
    virtual Tlog_kinds flush_on() const = 0;
    virtual QString fq_filename() const = 0;
    virtual ILogGroupPtr group() const = 0;
    virtual std::int32_t group_indent() const = 0;
    virtual bool most_recent_first() const = 0;
    virtual TOnSelectLogEvent on_select() const = 0;
    virtual bool use_locale() const = 0;
    virtual void set_crash_log(bool value) = 0;
    virtual void set_decoration_padding(std::int32_t value) = 0;
    virtual void set_decoration_pattern(const QString& value) = 0;
    virtual void set_discard(Tlog_kinds value) = 0;
    virtual void set_enabled(bool value) = 0;
    virtual void set_event_header(const QString& value) = 0;
    virtual void set_file_name(const QString& value) = 0;
    virtual void set_flush_interval(double value) = 0;
    virtual void set_flush_on(Tlog_kinds value) = 0;
    virtual void set_group(const ILogGroupPtr& value) = 0;
    virtual void set_group_indent(std::int32_t value) = 0;
    virtual void set_most_recent_first(bool value) = 0;
    virtual void set_on_select(TOnSelectLogEvent value) = 0;
    virtual void set_use_locale(bool value) = 0;
    virtual void set_fq_filename(const QString& value) = 0;

    // Rewrites the storage's content up to `event` (null: the whole group); true when written.
    virtual bool write_event(const ILogEventPtr& event) = 0;
    virtual void assign_settings(const ILogStoragePtr& src) = 0;
    virtual void preset_crashlog(const QString& aname) = 0;
};

// A storage that accepts events: the group hands it each finished event.
class ILogFileInternal {
public:
    virtual ~ILogFileInternal() = default;
    virtual void event_arrived(const ILogEventPtr& event) = 0;
};

} // namespace zel
