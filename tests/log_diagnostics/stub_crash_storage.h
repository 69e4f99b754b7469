#pragma once

#include "log/core/log_storage_interface.h"

namespace zel {

// A crash-log storage reduced to what the crash list asks of it: it is a crash log and has a
// full file name. It writes nothing itself.
class TStubCrashStorage : public ILogStorage {
public:
    explicit TStubCrashStorage(QString fq_filename)
        : Ffq_filename(std::move(fq_filename)) {}

    bool crash_log() const override { return true; }
    QString fq_filename() const override { return Ffq_filename; }

    std::int32_t decoration_padding() const override { return 0; }
    QString decoration_pattern() const override { return {}; }
    Tlog_kinds discard() const override { return {}; }
    bool enabled() const override { return true; }
    QString event_header() const override { return {}; }
    QString file_name() const override { return {}; }
    double flush_interval() const override { return 0; }
    Tlog_kinds flush_on() const override { return {}; }
    ILogGroupPtr group() const override { return {}; }
    std::int32_t group_indent() const override { return 0; }
    bool most_recent_first() const override { return true; }
    TOnSelectLogEvent on_select() const override { return {}; }
    bool use_locale() const override { return false; }
    void set_crash_log(bool) override {}
    void set_decoration_padding(std::int32_t) override {}
    void set_decoration_pattern(const QString&) override {}
    void set_discard(Tlog_kinds) override {}
    void set_enabled(bool) override {}
    void set_event_header(const QString&) override {}
    void set_file_name(const QString&) override {}
    void set_flush_interval(double) override {}
    void set_flush_on(Tlog_kinds) override {}
    void set_group(const ILogGroupPtr&) override {}
    void set_group_indent(std::int32_t) override {}
    void set_most_recent_first(bool) override {}
    void set_on_select(TOnSelectLogEvent) override {}
    void set_use_locale(bool) override {}
    void set_fq_filename(const QString& value) override { Ffq_filename = value; }
    bool write_event(const ILogEventPtr&) override { return false; }
    void assign_settings(const ILogStoragePtr&) override {}
    void preset_crashlog(const QString&) override {}

private:
    QString Ffq_filename;
};

} // namespace zel
