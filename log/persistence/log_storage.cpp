#include "log/persistence/log_storage.h"

#include "log/core/date_time_format.h"
#include "log/core/known_folders.h"
#include "log/core/log_root.h"
#include "log/support/log_text_codec.h"

#include <QFile>

namespace zel {

namespace {

// The stamp holds digits only; the locale adds nothing.
const TFormatSettings& stamp_settings() {
    static const TFormatSettings settings = TFormatSettings::from_locale(QLocale::c());
    return settings;
}

} // namespace

TLogStorage::TLogStorage()
    : Fretry_clock([] { return std::chrono::steady_clock::now(); }) {}

// A crash log that goes away while listed (its session is over) takes its line and its file
// with it. The crash list has already let go of it, so it names itself by a reference that
// does not own it.
TLogStorage::~TLogStorage() {
    if (Fcrash_listed)
        if (const ILogRootPtr root = Froot.lock())
            root->unregister_crash(ILogStoragePtr(ILogStoragePtr(), this));
}

// Takes the crash log's line off the list, under the open file's name (with the storage lock).
void TLogStorage::unlist_crash(const ILogRootPtr& root) {
    if (Fcrash_listed && root)
        if (const auto self = weak_from_this().lock())
            Fcrash_listed = !root->unregister_crash(self);
}

bool TLogStorage::crash_log() const {
    const std::lock_guard lock(Flock);
    return Fcrash_log;
}

std::int32_t TLogStorage::decoration_padding() const {
    const std::lock_guard lock(Flock);
    return Fdecoration_padding;
}

QString TLogStorage::decoration_pattern() const {
    const std::lock_guard lock(Flock);
    return Fdecoration_pattern;
}

Tlog_kinds TLogStorage::discard() const {
    const std::lock_guard lock(Flock);
    return Fdiscard;
}

bool TLogStorage::enabled() const {
    const std::lock_guard lock(Flock);
    return Fenabled;
}

QString TLogStorage::event_header() const {
    const std::lock_guard lock(Flock);
    return Fevent_header;
}

QString TLogStorage::file_name() const {
    const std::lock_guard lock(Flock);
    return Ffile_name;
}

double TLogStorage::flush_interval() const {
    const std::lock_guard lock(Flock);
    return Fflush_interval;
}

Tlog_kinds TLogStorage::flush_on() const {
    const std::lock_guard lock(Flock);
    return Fflush_on;
}

// The open file's name while it is open: the root's folder may have moved since.
QString TLogStorage::fq_filename() const {
    {
        const std::lock_guard lock(Flock);
        if (Ffile.is_open())
            return Fopen_name;
    }
    return built_name();
}

QString TLogStorage::built_name() const {
    QString file;
    QString postfix;
    ILogRootPtr root;
    {
        const std::lock_guard lock(Flock);
        if (!Ffixed_name.isEmpty())
            return Ffixed_name;
        if (Fname_postfix.isEmpty())
            build_name_postfix(date_time_now());
        file = Ffile_name;
        postfix = Fname_postfix;
        root = Froot.lock();
    }
    // The root's folder is behind its settings lock, a leaf lock: a write asks it under the
    // storage lock.
    return (root ? root->fq_path() : QString()) + file + postfix;
}

void TLogStorage::build_name_postfix(TDateTime when) const {
    Fname_time = when;
    Fname_postfix = u'.' +
                    format_date_time(log_file_stamp_pattern.toString(), when, stamp_settings()) +
                    QStringLiteral(".log");
}

void TLogStorage::renew_name_postfix() {
    constexpr TDateTime one_ms = 1.0 / 86'400'000.0;
    const QString taken = Fname_postfix;
    TDateTime when = std::max(date_time_now(), Fname_time + one_ms);
    build_name_postfix(when);
    while (Fname_postfix == taken) { // the same millisecond once rounded
        when += one_ms;
        build_name_postfix(when);
    }
}

ILogGroupPtr TLogStorage::group() const {
    const std::lock_guard lock(Flock);
    return Fgroup.lock();
}

std::int32_t TLogStorage::group_indent() const {
    const std::lock_guard lock(Flock);
    return Fgroup_indent;
}

bool TLogStorage::most_recent_first() const {
    const std::lock_guard lock(Flock);
    return Fmost_recent_first;
}

TOnSelectLogEvent TLogStorage::on_select() const {
    const std::lock_guard lock(Flock);
    return Fon_select;
}

bool TLogStorage::use_locale() const {
    const std::lock_guard lock(Flock);
    return Fuse_locale;
}

template <class T>
void TLogStorage::set_layout(T& field, const T& value) {
    const std::lock_guard lock(Flock);
    if (field != value) {
        field = value;
        Flayout_changed = true;
    }
}

void TLogStorage::set_crash_log(bool value) {
    const std::lock_guard lock(Flock);
    Fcrash_log = value;
}

void TLogStorage::set_decoration_padding(std::int32_t value) {
    set_layout(Fdecoration_padding, value);
}

void TLogStorage::set_decoration_pattern(const QString& value) {
    set_layout(Fdecoration_pattern, value);
}

void TLogStorage::set_discard(Tlog_kinds value) {
    set_layout(Fdiscard, value);
}

void TLogStorage::set_enabled(bool value) {
    QString name;
    {
        const std::lock_guard lock(Flock);
        if (value == Fenabled)
            return;
        Fenabled = value;
        if (value)
            return; // the next write creates the file again, under the same name
        Flast_event.reset();
        Fimage.invalidate(); // no event arrives while disabled
        if (!Ffile.is_open())
            return; // a closed file is kept
        name = Fopen_name;
        unlist_crash(Froot.lock());
        Ffile.close();
    }
    QFile::remove(name);
}

void TLogStorage::set_event_header(const QString& value) {
    set_layout(Fevent_header, value);
}

void TLogStorage::set_file_name(const QString& value) {
    const std::lock_guard lock(Flock);
    Ffile_name = value;
}

void TLogStorage::set_flush_interval(double value) {
    const std::lock_guard lock(Flock);
    Fflush_interval = value;
}

void TLogStorage::set_flush_on(Tlog_kinds value) {
    const std::lock_guard lock(Flock);
    Fflush_on = value;
}

void TLogStorage::set_group(const ILogGroupPtr& value) {
    const auto* event = dynamic_cast<const TLogEvent*>(value.get());
    ILogRootPtr root = event != nullptr ? event->root() : nullptr;
    const std::lock_guard lock(Flock);
    Fgroup = value;
    Froot = root;
    Flast_event.reset();
    Fimage.invalidate();
}

void TLogStorage::set_group_indent(std::int32_t value) {
    set_layout(Fgroup_indent, value);
}

void TLogStorage::set_most_recent_first(bool value) {
    set_layout(Fmost_recent_first, value);
}

void TLogStorage::set_on_select(TOnSelectLogEvent value) {
    const std::lock_guard lock(Flock);
    Fon_select = std::move(value);
}

void TLogStorage::set_use_locale(bool value) {
    set_layout(Fuse_locale, value);
}

void TLogStorage::set_fq_filename(const QString& value) {
    const std::lock_guard lock(Flock);
    Ffixed_name = value;
}

void TLogStorage::event_arrived(const ILogEventPtr& event) {
    if (!event)
        return;
    const Tlog_kind kind = event->log_type();
    {
        const std::lock_guard lock(Flock);
        const ILogGroupPtr group = Fgroup.lock();
        if (!Fenabled || !group)
            return;
        Fimage.event_changed(*group, event); // a discarded kind still changes its group
        if (Fdiscard.contains(kind) || !Fflush_on.contains(kind))
            return;
        // An older change than the newest one written is already in the file, unless the
        // change made since (a folded repeat keeps the commit id) is still to be written.
        if (Flast_event && event->commit_id() < Flast_event->commit_id() && !Fimage.pending())
            return;
    }
    write_event(nullptr);
}

void TLogStorage::set_retry_clock(TRetryClock clock) {
    const std::lock_guard lock(Flock);
    Fretry_clock = std::move(clock);
}

QString TLogStorage::prepare_file_name(const ILogRootPtr& root) const {
    QString name = built_name();
    if (make_folder_of(name))
        return name;
    if (!root)
        return {};
    root->set_location(KF_PUBLIC_DOCUMENTS);
    name = built_name();
    return make_folder_of(name) ? name : QString();
}

platform::whole_file_status TLogStorage::open_named(const QString& name) {
    using platform::whole_file_open;
    using platform::whole_file_status;
    const std::string path = QFile::encodeName(name).toStdString();
    if (!Ffixed_name.isEmpty())
        return Ffile.open(path, whole_file_open::open_always);
    if (!Fown_file)
        return Ffile.open(path, whole_file_open::create_new);
    // Opened again after a close: the file this storage made, unless another took its place.
    const whole_file_status status = Ffile.open(path, whole_file_open::open_existing);
    if (status == whole_file_status::missing)
        return Ffile.open(path, whole_file_open::create_new);
    if (status == whole_file_status::opened && Ffile.identity() != *Fown_file) {
        Ffile.close();
        return whole_file_status::name_taken;
    }
    return status;
}

bool TLogStorage::open_file(const ILogRootPtr& root) {
    using platform::whole_file_status;
    const auto now = Fretry_clock();
    if (Fnext_open && now < *Fnext_open)
        return false; // failed less than a second ago: no folder, lock or list work per event
    constexpr int name_attempts = 100;
    for (int attempt = 0; attempt < name_attempts; ++attempt) {
        const QString name = prepare_file_name(root);
        if (name.isEmpty())
            break;
        const whole_file_status status = open_named(name);
        if (status == whole_file_status::opened) {
            Fopen_name = name;
            if (Ffixed_name.isEmpty())
                Fown_file = Ffile.identity();
            Fnext_open.reset();
            // Listed only once its file exists, so that the list never names a missing log.
            if (Fcrash_log && !Fcrash_listed && root)
                if (const auto self = weak_from_this().lock())
                    Fcrash_listed = root->register_crash(self);
            return true;
        }
        const bool taken =
            status == whole_file_status::name_taken || status == whole_file_status::in_use;
        if (!taken || !Ffixed_name.isEmpty())
            break;
        renew_name_postfix(); // another file has this name: a later stamp
        Fown_file.reset();
    }
    Fnext_open = now + std::chrono::seconds(1);
    return false;
}

std::string_view TLogStorage::render(const ILogGroupPtr& group, const root_state& state) {
    if (Flayout_changed) {
        Fimage.configure(
            {Fevent_header, Fuse_locale, Fgroup_indent, Fdecoration_padding, Fdecoration_pattern},
            Fdiscard, Fmost_recent_first);
        Flayout_changed = false;
    } else if (state.long_date_format != Fshown_state.long_date_format ||
               state.short_date_format != Fshown_state.short_date_format ||
               state.long_time_format != Fshown_state.long_time_format ||
               state.short_time_format != Fshown_state.short_time_format ||
               state.native_language != Fshown_state.native_language) {
        Fimage.reformat_all();
    }
    Fshown_state = state;

    log_file_header header;
    header.file_name = Fopen_name;
    header.crash_log = Fcrash_log;
    header.most_recent_first = Fmost_recent_first;
    header.event_header = Fevent_header;
    header.long_date_format = state.long_date_format;
    header.short_date_format = state.short_date_format;
    header.long_time_format = state.long_time_format;
    header.short_time_format = state.short_time_format;
    header.stopped = !state.started;
    header.group_indent = Fgroup_indent;
    header.module = this_module_tags();
    // The header rarely changes between writes: it is formatted again only then.
    if (Fheader_bytes.isEmpty() || header != Fshown_header) {
        Fheader_bytes = encode_log_text(format_header_block(header));
        Fshown_header = std::move(header);
    }
    return Fimage.render(group, Fheader_bytes);
}

bool TLogStorage::write_event(const ILogEventPtr& event) {
    ILogGroupPtr group;
    QString cut_short; // the file to report, once the lock is released
    bool written = false;
    {
        const std::lock_guard lock(Flock);
        if (!Fenabled)
            return false;
        group = Fgroup.lock();
        if (!group)
            return false;
        if (event)
            Fimage.event_changed(*group, event);
        const ILogRootPtr root = Froot.lock();

        // Read under the lock on every write, so that a write racing with the group's stop
        // cannot reopen the file with the state from before the stop. The started flag is an
        // atomic and the root's settings are leaf locks.
        root_state state;
        state.started = group->started();
        if (root) {
            state.long_date_format = root->long_date_format();
            state.short_date_format = root->short_date_format();
            state.long_time_format = root->long_time_format();
            state.short_time_format = root->short_time_format();
            state.native_language = root->native_language();
        }

        if (Fcrash_log && !state.started) {
            // The session ended: the crash log goes, with its line (which deletes it).
            const bool was_open = Ffile.is_open();
            unlist_crash(root);
            Ffile.close();
            if (was_open && !Fcrash_listed)
                QFile::remove(Fopen_name); // never listed: nobody else would delete it
            return false;
        }
        if (!Ffile.is_open() && !open_file(root))
            return false;

        const std::string_view bytes = render(group, state);
        written = Ffile.replace(bytes);
        if (!written && Ffile.written() > 0) {
            // What reached the file is kept up to its last whole entry, so that it reads back
            // (nothing written leaves the previous content whole).
            Ffile.cut(whole_entries_length(bytes, static_cast<std::size_t>(Fheader_bytes.size()),
                                           Ffile.written()));
        }
        if (!written && !Fcut_short && state.started)
            cut_short = Fopen_name;
        Fcut_short = !written;
        if (ILogEventPtr last = Fimage.last_event())
            Flast_event = std::move(last);
        if (!state.started)
            Ffile.close();
    }
    // Reported after the lock (an event's lock comes before it); the event's own write fails
    // again silently and reaches the file with the next write that fits.
    if (!cut_short.isEmpty())
        group->add(LK_ERROR,
                   QStringLiteral("Log file \"%s\" is cut short: it keeps its entries up to the "
                                  "last one that fitted"),
                   {cut_short});
    return written;
}

void TLogStorage::assign_settings(const ILogStoragePtr& src) {
    if (!src || src.get() == this)
        return;
    // Read first: holding this lock while taking another storage's could meet the reverse.
    const QString file_name = src->file_name();
    const bool most_recent_first = src->most_recent_first();
    const double flush_interval = src->flush_interval();
    const Tlog_kinds discard = src->discard();
    const Tlog_kinds flush_on = src->flush_on();
    const bool use_locale = src->use_locale();
    const bool crash_log = src->crash_log();
    const std::int32_t decoration_padding = src->decoration_padding();
    const QString decoration_pattern = src->decoration_pattern();
    const std::int32_t group_indent = src->group_indent();
    const QString event_header = src->event_header();
    const bool enabled = src->enabled();

    const std::lock_guard lock(Flock);
    Ffile_name = file_name;
    Fmost_recent_first = most_recent_first;
    Fflush_interval = flush_interval;
    Fdiscard = discard;
    Fflush_on = flush_on;
    Fuse_locale = use_locale;
    Fcrash_log = crash_log;
    Fdecoration_padding = decoration_padding;
    Fdecoration_pattern = decoration_pattern;
    Fgroup_indent = group_indent;
    Fevent_header = event_header;
    Fenabled = enabled; // a plain copy: no file is closed or deleted
    Flayout_changed = true;
}

void TLogStorage::preset_crashlog(const QString& aname) {
    const std::lock_guard lock(Flock);
    Ffile_name = aname;
    Fmost_recent_first = true;
    Fflush_interval = 0;
    Fdiscard = {};
    Fflush_on = Tlog_kinds::all();
    Fuse_locale = false;
    Fcrash_log = true;
    Flayout_changed = true;
}

} // namespace zel
