#include "log/persistence/log_config.h"

#include "log/core/log_extensions.h"
#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "log/persistence/log_storage.h"

namespace zel {

TLogStorage_config::TLogStorage_config()
    : Fstorage(std::make_shared<TLogStorage>()) {}

QString TLogStorage_config::file_name() const {
    return Fstorage->file_name();
}

void TLogStorage_config::set_file_name(const QString& value) {
    Fstorage->set_file_name(value);
}

bool TLogStorage_config::most_recent_first() const {
    return Fstorage->most_recent_first();
}

void TLogStorage_config::set_most_recent_first(bool value) {
    Fstorage->set_most_recent_first(value);
}

double TLogStorage_config::flush_interval() const {
    return Fstorage->flush_interval();
}

void TLogStorage_config::set_flush_interval(double value) {
    Fstorage->set_flush_interval(value);
}

Tlog_kinds TLogStorage_config::flush_on() const {
    return Fstorage->flush_on();
}

void TLogStorage_config::set_flush_on(Tlog_kinds value) {
    Fstorage->set_flush_on(value);
}

Tlog_kinds TLogStorage_config::discard() const {
    return Fstorage->discard();
}

void TLogStorage_config::set_discard(Tlog_kinds value) {
    Fstorage->set_discard(value);
}

bool TLogStorage_config::use_locale() const {
    return Fstorage->use_locale();
}

void TLogStorage_config::set_use_locale(bool value) {
    Fstorage->set_use_locale(value);
}

bool TLogStorage_config::crash_log() const {
    return Fstorage->crash_log();
}

void TLogStorage_config::set_crash_log(bool value) {
    Fstorage->set_crash_log(value);
}

std::int32_t TLogStorage_config::decoration_padding() const {
    return Fstorage->decoration_padding();
}

void TLogStorage_config::set_decoration_padding(std::int32_t value) {
    Fstorage->set_decoration_padding(value);
}

QString TLogStorage_config::decoration_pattern() const {
    return Fstorage->decoration_pattern();
}

void TLogStorage_config::set_decoration_pattern(const QString& value) {
    Fstorage->set_decoration_pattern(value);
}

QString TLogStorage_config::event_header() const {
    return Fstorage->event_header();
}

void TLogStorage_config::set_event_header(const QString& value) {
    Fstorage->set_event_header(value);
}

std::int32_t TLogStorage_config::group_indent() const {
    return Fstorage->group_indent();
}

void TLogStorage_config::set_group_indent(std::int32_t value) {
    Fstorage->set_group_indent(value);
}

bool TLogStorage_config::enabled() const {
    return Fstorage->enabled();
}

void TLogStorage_config::set_enabled(bool value) {
    Fstorage->set_enabled(value);
}

QString TLogStorage_config::fq_filename() const {
    return Fstorage->fq_filename();
}

void TLogStorage_config::assign(const TLogStorage_config& src) {
    Fstorage->assign_settings(src.Fstorage);
    Fparent_group = src.Fparent_group;
}

TLogStorage_config& Tlog_Storage_list::add() {
    return *Fitems.emplace_back(std::make_unique<TLogStorage_config>());
}

TLogStorage_config* Tlog_Storage_list::storage(std::int32_t index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return Fitems[static_cast<std::size_t>(index)].get();
}

void Tlog_Storage_list::set_storage(std::int32_t index, const TLogStorage_config& value) {
    if (TLogStorage_config* item = storage(index))
        item->assign(value);
}

TLog_config::TLog_config()
    : Froot(default_log_root) {
    if (!Froot) {
        Froot = TLogRoot::Create();
        default_log_root = Froot;
    }
    Froot->set_autostart(true);
}

void TLog_config::Loaded() {
    if (!default_log_root)
        default_log_root = Froot;
    for (std::int32_t i = 0; i < Fstorages.count(); ++i) {
        const TLogStorage_config* item = Fstorages.storage(i);
        ILogGroupPtr group;
        if (Froot->find_group(item->parent_group(), group) && group)
            group->register_storage(item->storage());
    }
    if (Flog_startup_info)
        Froot->add_startup_info();
    if (Flog_cpu)
        Froot->add_cpu();
    if (Flog_memory)
        Froot->add_memory();
    if (Flog_commandline)
        Froot->add_commandline(QString());
}

void TLog_config::enable_storages(bool enabled) {
    Froot->enable_storages(enabled);
}

QString TLog_config::fq_filename() const {
    return Froot->fq_filename();
}

void TLog_config::set_log_exceptions(bool value) {
    if (value == Flog_exceptions)
        return;
    const TLogDiagnosticsHooks& hooks = log_diagnostics_hooks();
    if (value) {
        Flog_exceptions = hooks.register_exception_root && hooks.register_exception_root(Froot);
    } else {
        if (hooks.unregister_exception_root)
            hooks.unregister_exception_root(Froot);
        Flog_exceptions = false;
    }
}

Tknown_folder TLog_config::location() const {
    return Froot->location();
}

void TLog_config::set_location(Tknown_folder value) {
    Froot->set_location(value);
}

QString TLog_config::crashlist_name() const {
    return Froot->crashlist_name();
}

void TLog_config::set_crashlist_name(const QString& value) {
    Froot->set_crashlist_name(value);
}

QString TLog_config::path() const {
    return Froot->path();
}

void TLog_config::set_path(const QString& value) {
    Froot->set_path(value);
}

QString TLog_config::true_string() const {
    return Froot->true_string();
}

void TLog_config::set_true_string(const QString& value) {
    Froot->set_true_string(value);
}

QString TLog_config::false_string() const {
    return Froot->false_string();
}

void TLog_config::set_false_string(const QString& value) {
    Froot->set_false_string(value);
}

QString TLog_config::short_date_format() const {
    return Froot->short_date_format();
}

void TLog_config::set_short_date_format(const QString& value) {
    Froot->set_short_date_format(value);
}

QString TLog_config::long_date_format() const {
    return Froot->long_date_format();
}

void TLog_config::set_long_date_format(const QString& value) {
    Froot->set_long_date_format(value);
}

QString TLog_config::short_time_format() const {
    return Froot->short_time_format();
}

void TLog_config::set_short_time_format(const QString& value) {
    Froot->set_short_time_format(value);
}

QString TLog_config::long_time_format() const {
    return Froot->long_time_format();
}

void TLog_config::set_long_time_format(const QString& value) {
    Froot->set_long_time_format(value);
}

QString TLog_config::native_language() const {
    return Froot->native_language();
}

void TLog_config::set_native_language(const QString& value) {
    Froot->set_native_language(value);
}

QString TLog_config::root_name() const {
    return Froot->name();
}

void TLog_config::set_root_name(const QString& value) {
    Froot->set_name(value);
}

QString TLog_config::root_header() const {
    return Froot->header();
}

void TLog_config::set_root_header(const QString& value) {
    Froot->set_header(value);
}

QString TLog_config::root_footer() const {
    return Froot->footer();
}

void TLog_config::set_root_footer(const QString& value) {
    Froot->set_footer(value);
}

Tlog_kinds TLog_config::discard() const {
    return Froot->discard();
}

void TLog_config::set_discard(Tlog_kinds value) {
    Froot->set_discard(value);
}

bool TLog_config::autocreate_group() const {
    return Froot->autocreate_group();
}

void TLog_config::set_autocreate_group(bool value) {
    Froot->set_autocreate_group(value);
}

bool TLog_config::autostart() const {
    return Froot->autostart();
}

void TLog_config::set_autostart(bool value) {
    Froot->set_autostart(value);
}

std::unique_ptr<TLog_config> main_window_log_config() {
    auto config = std::make_unique<TLog_config>();
    TLogStorage_config& storage = config->storages().add();
    storage.set_file_name(QStringLiteral("log_file"));
    storage.set_flush_on(Tlog_kinds::all());
    storage.set_discard({});
    storage.set_decoration_pattern(QStringLiteral("*"));
    storage.set_event_header(QStringLiteral("{time}  {type}"));
    config->set_location(KF_PROGRAMDATA);
    config->set_crashlist_name(QStringLiteral("crash_list"));
    config->set_path(QStringLiteral("ZEL/ZEL Kettle/1/log"));
    config->set_true_string(QStringLiteral("[x]"));
    config->set_false_string(QStringLiteral("[ ]"));
    config->set_short_date_format(QStringLiteral("dd mmm"));
    config->set_long_date_format(QStringLiteral("yyyy\"-\"mm\"-\"dd"));
    config->set_short_time_format(QStringLiteral("hh\":\"nn\":\"ss"));
    config->set_long_time_format(QStringLiteral("hh\":\"nn\":\"ss\".\"zzz"));
    config->set_native_language(QStringLiteral("en-US"));
    config->set_root_name(QStringLiteral("5488"));
    config->set_root_header(QStringLiteral("{module}:{pid} Log session start {date} at {time}"));
    config->set_root_footer(QStringLiteral("{module}:{pid} Log session stop after {duration}"));
    config->set_log_startup_info(false);
    config->set_log_cpu(false);
    config->set_log_memory(false);
    config->set_discard({});
    config->set_autocreate_group(false);
    return config;
}

} // namespace zel
