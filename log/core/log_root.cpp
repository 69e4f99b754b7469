#include "log/core/log_root.h"

#include "log/core/log_context.h"
#include "log/core/log_extensions.h"

#include <QFileInfo>

namespace zel {

namespace {

// The four patterns of a new root, exactly as stored (the double quotes belong to them).
std::shared_ptr<const TFormatSettings> with_default_patterns(TFormatSettings settings) {
    settings.LongDateFormat = QStringLiteral(R"(yyyy"-"mm"-"dd)");
    settings.ShortDateFormat = QStringLiteral("dd mmm");
    settings.LongTimeFormat = QStringLiteral(R"(hh":"nn":"ss"."zzz)");
    settings.ShortTimeFormat = QStringLiteral(R"(hh":"nn":"ss)");
    return std::make_shared<const TFormatSettings>(std::move(settings));
}

// `name` with its extension (if any) replaced by ".crashlist".
QString crash_list_file_name(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    const qsizetype separator = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    const QString base = dot > separator ? name.left(dot) : name;
    return base + QStringLiteral(".crashlist");
}

} // namespace

std::shared_ptr<TLogRoot> TLogRoot::Create() {
    auto root = std::make_shared<TLogRoot>(TPrivate{});
    root->Froot = root;
    return root;
}

TLogRoot::TLogRoot(TPrivate)
    : TLogGroup(TPrivate{}, {}, QStringLiteral("root"), nullptr, TTimeAnchor{})
    , Ffs_local(with_default_patterns(TFormatSettings::from_locale(QLocale::system())))
    , Ffs_native(
          with_default_patterns(TFormatSettings::from_locale(QLocale(QStringLiteral("en-US")))))
    , FContext_list(std::make_shared<TLogContextList>()) {
    set_header(QStringLiteral("{module}:{pid} Log session start {date_short} at {time_short}"));
    set_footer(QStringLiteral("{module}:{pid} Log session stop after {duration}"));
}

std::shared_ptr<const TFormatSettings> TLogRoot::default_format_settings() {
    static const std::shared_ptr<const TFormatSettings> settings =
        with_default_patterns(TFormatSettings::from_locale(QLocale(QStringLiteral("en-US"))));
    return settings;
}

std::shared_ptr<const TFormatSettings> TLogRoot::format_settings(bool locale) const {
    std::scoped_lock guard(Fsettings_lock);
    return locale ? Ffs_local : Ffs_native;
}

ILogContextListPtr TLogRoot::context_list() const {
    return FContext_list;
}

QString TLogRoot::crashlist_name() const {
    std::scoped_lock guard(Fsettings_lock);
    return Fcrashlist_name;
}

QString TLogRoot::false_string() const {
    std::scoped_lock guard(Fsettings_lock);
    return Ffalse_string;
}

QString TLogRoot::fq_filename() const {
    Tknown_folder kind = KF_APPDATA;
    QString folder;
    QString name;
    {
        std::scoped_lock guard(Fsettings_lock);
        kind = Flocation;
        folder = Fpath;
        name = Fcrashlist_name;
    }
    return known_folder_file(kind, folder, crash_list_file_name(name), false);
}

QString TLogRoot::fq_path() const {
    Tknown_folder kind = KF_APPDATA;
    QString folder;
    {
        std::scoped_lock guard(Fsettings_lock);
        kind = Flocation;
        folder = Fpath;
    }
    return known_folder_path(kind, folder, false);
}

Tknown_folder TLogRoot::location() const {
    std::scoped_lock guard(Fsettings_lock);
    return Flocation;
}

QString TLogRoot::pattern(QString TFormatSettings::*field) const {
    std::scoped_lock guard(Fsettings_lock);
    return (*Ffs_local).*field;
}

QString TLogRoot::long_date_format() const {
    return pattern(&TFormatSettings::LongDateFormat);
}

QString TLogRoot::long_time_format() const {
    return pattern(&TFormatSettings::LongTimeFormat);
}

QString TLogRoot::native_language() const {
    std::scoped_lock guard(Fsettings_lock);
    return Fnative_language;
}

TOnLogFileLoaded TLogRoot::OnLogFileLoaded() const {
    return FOnLogFileLoaded.get();
}

QString TLogRoot::path() const {
    std::scoped_lock guard(Fsettings_lock);
    return Fpath;
}

QString TLogRoot::short_date_format() const {
    return pattern(&TFormatSettings::ShortDateFormat);
}

QString TLogRoot::short_time_format() const {
    return pattern(&TFormatSettings::ShortTimeFormat);
}

QString TLogRoot::true_string() const {
    std::scoped_lock guard(Fsettings_lock);
    return Ftrue_string;
}

void TLogRoot::set_crashlist_name(const QString& value) {
    std::scoped_lock guard(Fsettings_lock);
    Fcrashlist_name = value;
}

void TLogRoot::set_false_string(const QString& value) {
    std::scoped_lock guard(Fsettings_lock);
    Ffalse_string = value;
}

void TLogRoot::set_location(Tknown_folder value) {
    std::scoped_lock guard(Fsettings_lock);
    Flocation = value;
}

void TLogRoot::set_pattern(QString TFormatSettings::*field, const QString& value) {
    std::scoped_lock guard(Fsettings_lock);
    for (std::shared_ptr<const TFormatSettings>* settings : {&Ffs_local, &Ffs_native}) {
        auto changed = std::make_shared<TFormatSettings>(**settings);
        (*changed).*field = value;
        *settings = std::move(changed);
    }
}

void TLogRoot::set_long_date_format(const QString& value) {
    set_pattern(&TFormatSettings::LongDateFormat, value);
}

void TLogRoot::set_long_time_format(const QString& value) {
    set_pattern(&TFormatSettings::LongTimeFormat, value);
}

void TLogRoot::set_native_language(const QString& value) {
    {
        std::scoped_lock guard(Fsettings_lock);
        if (value == Fnative_language)
            return;
    }
    // Locale data is looked up without the lock; the patterns are taken from the local settings.
    TFormatSettings native = TFormatSettings::from_locale(QLocale(value));
    std::scoped_lock guard(Fsettings_lock);
    Fnative_language = value;
    native.LongDateFormat = Ffs_local->LongDateFormat;
    native.ShortDateFormat = Ffs_local->ShortDateFormat;
    native.LongTimeFormat = Ffs_local->LongTimeFormat;
    native.ShortTimeFormat = Ffs_local->ShortTimeFormat;
    Ffs_native = std::make_shared<const TFormatSettings>(std::move(native));
}

void TLogRoot::set_OnLogFileLoaded(TOnLogFileLoaded value) {
    FOnLogFileLoaded.set(std::move(value));
}

void TLogRoot::notify_log_file_loaded(const ILogGroupPtr& LogGroup, ELogLoadType LoadingType) {
    FOnLogFileLoaded.call(static_cast<const ILogRoot*>(this), LogGroup, LoadingType);
}

void TLogRoot::set_path(const QString& value) {
    std::scoped_lock guard(Fsettings_lock);
    Fpath = value;
}

void TLogRoot::set_short_date_format(const QString& value) {
    set_pattern(&TFormatSettings::ShortDateFormat, value);
}

void TLogRoot::set_short_time_format(const QString& value) {
    set_pattern(&TFormatSettings::ShortTimeFormat, value);
}

void TLogRoot::set_true_string(const QString& value) {
    std::scoped_lock guard(Fsettings_lock);
    Ftrue_string = value;
}

bool TLogRoot::register_crash(const ILogStoragePtr& src) {
    return src && src->crash_log() && sync(src, true);
}

bool TLogRoot::unregister_crash(const ILogStoragePtr& src) {
    return src && sync(src, false);
}

bool TLogRoot::sync(const ILogStoragePtr& src, bool adding) {
    const auto& hook = log_diagnostics_hooks().sync;
    return hook && hook(*this, src, adding);
}

std::int32_t TLogRoot::build_crash_list(QStringList& list) {
    if (!log_diagnostics_hooks().sync)
        return 0;
    sync(nullptr, false);
    list = FCrashlist.detached_lines();
    return static_cast<std::int32_t>(list.size());
}

bool TLogRoot::find_context(ILogContextPtr& ctx, void* data, bool can_create) {
    ctx.reset();
    // Finding and creating are one step, so one context is made for one data.
    TZelInterfaceList<ILogContext>& contexts = FContext_list->items();
    std::scoped_lock guard(contexts);
    if (FContext_list->find_by_data(data, ctx))
        return true;
    if (!can_create)
        return false;
    auto created = std::make_shared<TLogContext>();
    created->set_data(data);
    contexts.Add(created);
    ctx = std::move(created);
    return true;
}

bool TLogRoot::remove_context(const ILogContextPtr& ctx) {
    return FContext_list->Remove(ctx) >= 0;
}

void TLogRoot::clear_contexts() {
    FContext_list->clear();
}

} // namespace zel
