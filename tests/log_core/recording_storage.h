#pragma once

#include "log/core/log_storage_interface.h"

#include <mutex>
#include <vector>

namespace zel {

// A storage that remembers what reached it, for tests of the group side.
class TRecordingStorage : public ILogStorage, public ILogFileInternal {
public:
    struct TWrite {
        ILogEventPtr event; // null for a final write
        bool group_started;
    };

    std::vector<ILogEventPtr> arrived() const {
        std::scoped_lock guard(Flock);
        return Farrived;
    }
    std::vector<TWrite> writes() const {
        std::scoped_lock guard(Flock);
        return Fwrites;
    }

    void event_arrived(const ILogEventPtr& event) override {
        std::scoped_lock guard(Flock);
        Farrived.push_back(event);
    }
    bool write_event(const ILogEventPtr& event) override {
        std::scoped_lock guard(Flock);
        Fwrites.push_back({event, Fgroup && Fgroup->started()});
        return true;
    }

    bool crash_log() const override { return false; }
    std::int32_t decoration_padding() const override { return 0; }
    QString decoration_pattern() const override { return {}; }
    Tlog_kinds discard() const override { return {}; }
    bool enabled() const override { return Fenabled; }
    QString event_header() const override { return {}; }
    QString file_name() const override { return {}; }
    double flush_interval() const override { return 0; }
    Tlog_kinds flush_on() const override { return {}; }
    QString fq_filename() const override { return {}; }
    ILogGroupPtr group() const override {
        std::scoped_lock guard(Flock);
        return Fgroup;
    }
    std::int32_t group_indent() const override { return 0; }
    bool most_recent_first() const override { return false; }
    TOnSelectLogEvent on_select() const override { return {}; }
    bool use_locale() const override { return false; }
    void set_crash_log(bool) override {}
    void set_decoration_padding(std::int32_t) override {}
    void set_decoration_pattern(const QString&) override {}
    void set_discard(Tlog_kinds) override {}
    void set_enabled(bool value) override { Fenabled = value; }
    void set_event_header(const QString&) override {}
    void set_file_name(const QString&) override {}
    void set_flush_interval(double) override {}
    void set_flush_on(Tlog_kinds) override {}
    void set_group(const ILogGroupPtr& value) override {
        std::scoped_lock guard(Flock);
        Fgroup = value;
    }
    void set_group_indent(std::int32_t) override {}
    void set_most_recent_first(bool) override {}
    void set_on_select(TOnSelectLogEvent) override {}
    void set_use_locale(bool) override {}
    void set_fq_filename(const QString&) override {}
    void assign_settings(const ILogStoragePtr&) override {}
    void preset_crashlog(const QString&) override {}

private:
    mutable std::mutex Flock;
    std::vector<ILogEventPtr> Farrived;
    std::vector<TWrite> Fwrites;
    ILogGroupPtr Fgroup;
    std::atomic<bool> Fenabled{true};
};

} // namespace zel
