#pragma once

#include "log/core/crash_list.h"
#include "log/core/date_time_format.h"
#include "log/core/log_group.h"

#include <QString>

#include <memory>

namespace zel {

// The top of a log tree ("root", no parent): it holds the date and time patterns with the local
// (the user's locale) and native ("en-US" by default) settings, the texts for true and false,
// where the crash list lies, the crash list itself and the contexts. Its own settings are
// guarded by a lock of their own that nothing is called under, so that storages may read them
// while they write.
class TLogRoot : public TLogGroup, public virtual ILogRoot {
public:
    static std::shared_ptr<TLogRoot> Create();

    explicit TLogRoot(TPrivate);

    ILogContextListPtr context_list() const override;
    QString crashlist_name() const override;
    QString false_string() const override;
    QString fq_filename() const override;
    QString fq_path() const override;
    Tknown_folder location() const override;
    QString long_date_format() const override;
    QString long_time_format() const override;
    QString native_language() const override;
    TOnLogFileLoaded OnLogFileLoaded() const override;
    QString path() const override;
    QString short_date_format() const override;
    QString short_time_format() const override;
    QString true_string() const override;
    void set_crashlist_name(const QString& value) override;
    void set_false_string(const QString& value) override;
    void set_location(Tknown_folder value) override;
    void set_long_date_format(const QString& value) override;
    void set_long_time_format(const QString& value) override;
    void set_native_language(const QString& value) override;
    void set_OnLogFileLoaded(TOnLogFileLoaded value) override;
    // Tells the loading handler, when one is set, that `LogGroup` was loaded; replacing the
    // handler waits for this call.
    void notify_log_file_loaded(const ILogGroupPtr& LogGroup, ELogLoadType LoadingType);
    void set_path(const QString& value) override;
    void set_short_date_format(const QString& value) override;
    void set_short_time_format(const QString& value) override;
    void set_true_string(const QString& value) override;
    bool register_crash(const ILogStoragePtr& src) override;
    bool unregister_crash(const ILogStoragePtr& src) override;
    bool sync(const ILogStoragePtr& src, bool adding) override;
    std::int32_t build_crash_list(QStringList& list) override;
    bool find_context(ILogContextPtr& ctx, void* data, bool can_create) override;
    bool remove_context(const ILogContextPtr& ctx) override;
    void clear_contexts() override;

    // The settings events are printed with: local (the user's locale) or native.
    std::shared_ptr<const TFormatSettings> format_settings(bool locale) const;
    // What an event outside any tree is printed with: "en-US" and the default patterns.
    static std::shared_ptr<const TFormatSettings> default_format_settings();

    TCrashList& crash_list() noexcept { return FCrashlist; }

private:
    // Replaces one of the four patterns in both settings.
    void set_pattern(QString TFormatSettings::*field, const QString& value);
    QString pattern(QString TFormatSettings::*field) const;

    mutable TShortLock Fsettings_lock;
    Tknown_folder Flocation = KF_APPDATA;
    QString Fcrashlist_name = QStringLiteral("crash_list");
    QString Fpath = QStringLiteral("ZEL");
    QString Ftrue_string = QStringLiteral("[x]");
    QString Ffalse_string = QStringLiteral("[ ]");
    QString Fnative_language = QStringLiteral("en-US");
    std::shared_ptr<const TFormatSettings> Ffs_local;
    std::shared_ptr<const TFormatSettings> Ffs_native;
    TGuardedHandler<TOnLogFileLoaded> FOnLogFileLoaded; // under a lock of its own
    TCrashList FCrashlist;
    const std::shared_ptr<TLogContextList> FContext_list;
};

} // namespace zel
