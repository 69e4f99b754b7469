#include "log/persistence/log_storage.h"

#include "log/core/date_time_format.h"
#include "log/core/log_root.h"
#include "log/support/log_text_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zel {

namespace {

bool make_folder_of(const QString& file) {
    return !file.isEmpty() && QDir().mkpath(QFileInfo(file).absolutePath());
}

// The stamp holds digits only; the locale adds nothing.
const TFormatSettings& stamp_settings() {
    static const TFormatSettings settings = TFormatSettings::from_locale(QLocale::c());
    return settings;
}

} // namespace

TLogStorage::TLogStorage() = default;

// A crash log still listed is held by the root's crash list, so a storage that goes away has
// nothing to unlist; its file closes with the handle.
TLogStorage::~TLogStorage() = default;

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

QString TLogStorage::fq_filename() const {
    QString file;
    QString postfix;
    ILogRootPtr root;
    {
        const std::lock_guard lock(Flock);
        if (!Ffixed_name.isEmpty())
            return Ffixed_name;
        if (Fname_postfix.isEmpty())
            Fname_postfix = u'.' +
                            format_date_time(log_file_stamp_pattern.toString(), date_time_now(),
                                             stamp_settings()) +
                            QStringLiteral(".log");
        file = Ffile_name;
        postfix = Fname_postfix;
        root = Froot.lock();
    }
    // The root's folder is asked without the storage lock (lock order: root before storage).
    return (root ? root->fq_path() : QString()) + file + postfix;
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
    ILogRootPtr root;
    QString name;
    bool was_crash_log = false;
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
        Ffile.close();
        name = Fopen_name;
        was_crash_log = Fcrash_log;
        root = Froot.lock();
    }
    if (was_crash_log && root)
        if (const auto self = weak_from_this().lock())
            root->unregister_crash(self);
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

QString TLogStorage::prepare_file_name(const ILogRootPtr& root) const {
    QString name = fq_filename();
    if (make_folder_of(name))
        return name;
    if (!root)
        return {};
    root->set_location(KF_PUBLIC_DOCUMENTS);
    name = fq_filename();
    return make_folder_of(name) ? name : QString();
}

bool TLogStorage::write_event(const ILogEventPtr& event) {
    ILogGroupPtr group;
    ILogRootPtr root;
    bool file_open = false;
    bool crash = false;
    {
        const std::lock_guard lock(Flock);
        if (!Fenabled)
            return false;
        group = Fgroup.lock();
        root = Froot.lock();
        file_open = Ffile.is_open();
        crash = Fcrash_log;
        if (group && event)
            Fimage.event_changed(*group, event);
    }
    if (!group)
        return false;

    // Taken before the storage lock: a stopping group holds its own lock while it asks for the
    // final write.
    root_state state;
    state.started = group->started();
    if (root) {
        state.long_date_format = root->long_date_format();
        state.short_date_format = root->short_date_format();
        state.long_time_format = root->long_time_format();
        state.short_time_format = root->short_time_format();
        state.native_language = root->native_language();
    }
    const auto self = weak_from_this().lock();

    QString name;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!file_open) {
            name = prepare_file_name(root);
            if (name.isEmpty())
                return false; // no folder: the next write tries again
            if (crash && root && self)
                root->register_crash(self);
        }
        bool written = false;
        bool unlist = false;
        {
            const std::lock_guard lock(Flock);
            if (!Fenabled)
                return false;
            if (!Ffile.is_open()) {
                if (name.isEmpty()) { // closed by another thread meanwhile
                    file_open = false;
                    continue;
                }
                // Created empty, or emptied. A file that cannot be created is tried again at
                // the next write rather than given up for the storage's lifetime.
                Ffile = platform::whole_file(QFile::encodeName(name).toStdString());
                Fopen_name = name;
                if (!Ffile.is_open())
                    return false;
            }
            if (Fcrash_log && !state.started) {
                Ffile.close();
                unlist = true;
            } else {
                if (Flayout_changed) {
                    Fimage.configure({Fevent_header, Fuse_locale, Fgroup_indent,
                                      Fdecoration_padding, Fdecoration_pattern},
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
                written = Ffile.replace(Fimage.render(group, Fheader_bytes));
                if (ILogEventPtr last = Fimage.last_event())
                    Flast_event = std::move(last);
                if (!state.started)
                    Ffile.close();
            }
        }
        if (unlist && root && self)
            root->unregister_crash(self); // deletes the file and its line
        return written;
    }
    return false;
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
