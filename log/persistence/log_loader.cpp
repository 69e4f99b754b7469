#include "log/persistence/log_loader.h"

#include "filesystem/zel_file_stream.h"
#include "log/core/date_time_format.h"
#include "log/core/log_event.h"
#include "log/core/log_extensions.h"
#include "log/core/log_root.h"
#include "log/core/safe_format.h"
#include "log/persistence/log_file_format.h"
#include "log/persistence/log_header_template.h"
#include "log/support/log_text_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cmath>
#include <optional>
#include <span>
#include <vector>

namespace zel {

namespace {

void notify_loaded(const ILogGroupPtr& group, ELogLoadType type) {
    const auto* event = dynamic_cast<const TLogEvent*>(group.get());
    if (const auto root = event != nullptr ? event->root() : nullptr)
        root->notify_log_file_loaded(group, type);
}

ILogGroupPtr add_reader_group(const ILogGroupPtr& group, Tgroup_kind kind = GK_READER) {
    ILogGroupPtr sub;
    group->add_seeded_group(sub, kind);
    return sub;
}

// The lines of `text`, split at CR LF, LF or CR.
std::vector<QStringView> split_lines(QStringView text) {
    std::vector<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.push_back(text.sliced(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.sliced(start));
    return lines;
}

qsizetype leading_spaces(QStringView text) {
    qsizetype n = 0;
    while (n < text.size() && text[n] == u' ')
        ++n;
    return n;
}

bool is_blank(QStringView line) {
    return line.trimmed().isEmpty();
}

QString yes_no(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// The day and the time of day of a date-time, and the two put together again.
TDateTime date_part(TDateTime value) {
    return std::floor(value);
}

TDateTime time_part(TDateTime value) {
    return value - std::floor(value);
}

int hour_of(TDateTime value) {
    return static_cast<int>(time_part(value) * 24.0 + 1e-9);
}

// What a file recorded about an entry, beyond its kind and text.
struct recorded_fields {
    std::optional<TThreadID> thread_id;
    std::optional<std::int64_t> ticks;
    std::optional<TDateTime> when;
    std::optional<TDateTime> last_when;
    std::optional<std::uint32_t> repeat_count;
};

void restore_fields(const ILogEventPtr& event, const recorded_fields& fields) {
    auto* restored = dynamic_cast<TLogEvent*>(event.get());
    if (restored == nullptr)
        return;
    if (fields.thread_id)
        restored->set_thread_id(*fields.thread_id);
    if (fields.ticks) {
        restored->set_ticks(*fields.ticks);
        restored->set_last_ticks(*fields.ticks);
    }
    if (fields.when)
        restored->set_when(*fields.when);
    if (fields.last_when)
        restored->set_last_when(*fields.last_when);
    else if (fields.when)
        restored->set_last_when(*fields.when);
    if (fields.repeat_count)
        restored->set_repeat_count(*fields.repeat_count);
}

// An entry of `kind` with `text` in `group`, placed with what the file recorded.
void add_loaded_event(const ILogGroupPtr& group, Tlog_kind kind, const QString& text,
                      std::int32_t add_count, const recorded_fields& fields) {
    const ILogEventPtr event = group->new_event(kind);
    if (!event)
        return;
    event->BeginUpdate();
    event->add(text, nullptr, false);
    if (auto* restored = dynamic_cast<TLogEvent*>(event.get()))
        restored->set_add_count(add_count);
    restore_fields(event, fields);
    event->EndUpdate();
}

// The header block: the ":name=value" lines at the top of a file.
class header_tags {
public:
    // Takes the leading lines whose trimmed text starts with ":" (after empty lines) and
    // returns the number of lines the block spans, its trailing empty lines included.
    std::size_t read(const std::vector<QStringView>& lines) {
        std::size_t i = 0;
        while (i < lines.size() && lines[i].isEmpty())
            ++i;
        for (; i < lines.size() && lines[i].trimmed().startsWith(u':'); ++i) {
            const qsizetype equal = lines[i].indexOf(u'=');
            if (equal >= 0)
                tags_.emplace_back(lines[i].first(equal), lines[i].sliced(equal + 1));
        }
        while (i < lines.size() && lines[i].isEmpty())
            ++i;
        return i;
    }

    // The value of the first line named `name`; empty when there is none.
    QString value(QStringView name) const {
        for (const auto& [tag, value] : tags_)
            if (tag == name)
                return value.toString();
        return {};
    }

private:
    std::vector<std::pair<QStringView, QStringView>> tags_;
};

log_file_header read_header(const header_tags& tags) {
    log_file_header h;
    h.file_name = tags.value(log_tag::std_log);
    if (h.file_name.isEmpty()) {
        h.file_name = tags.value(log_tag::crash_log);
        h.crash_log = true;
    }
    const auto version = [&tags](QStringView tag) -> std::optional<QString> {
        QString value = tags.value(tag);
        return value.isNull() ? std::nullopt : std::optional(std::move(value));
    };
    log_module_tags& m = h.module;
    m.library = tags.value(log_tag::library) == u"true";
    if (m.library) {
        m.library_name = tags.value(log_tag::library_name);
        m.library_version = version(log_tag::library_version);
        m.host_name = tags.value(log_tag::host_name);
        m.host_version = version(log_tag::host_version);
    } else {
        m.app_name = tags.value(log_tag::app_name);
        m.app_version = version(log_tag::app_version);
    }
    h.most_recent_first = tags.value(log_tag::most_recent) == u"first";
    h.event_header = tags.value(log_tag::event_header);
    h.long_date_format = tags.value(log_tag::long_date_format);
    h.short_date_format = tags.value(log_tag::short_date_format);
    h.long_time_format = tags.value(log_tag::long_time_format);
    h.short_time_format = tags.value(log_tag::short_time_format);
    h.stopped = tags.value(log_tag::status) == u"stopped";
    bool ok = false;
    const std::int32_t indent = tags.value(log_tag::group_indent).toInt(&ok);
    h.group_indent = ok ? indent : 4;
    return h;
}

// The date and time of the file's name: "<name>.yyyymmdd.hhnnss.zzz.log"; `now` for what the
// name does not carry.
TDateTime file_name_date_time(const QString& quoted_name, TDateTime now) {
    TDateTime result = now;
    const QStringList parts = quoted_name.split(u'.');
    if (parts.size() < 4)
        return result;
    const QString& day = parts[parts.size() - 4];
    const QDate date = QDate::fromString(day, QStringLiteral("yyyyMMdd"));
    if (day.size() == 8 && date.isValid())
        result = to_date_time(date.startOfDay()) + time_part(result);
    const QString& clock = parts[parts.size() - 3];
    const QTime time = QTime::fromString(clock, QStringLiteral("HHmmss"));
    if (clock.size() == 6 && time.isValid())
        result =
            date_part(result) + static_cast<TDateTime>(time.msecsSinceStartOfDay()) / 86400000.0;
    return result;
}

// Reads dates and times with the file's patterns: the names of the user's locale, then those
// of "en-US", in which logs are written unless they use the locale.
class date_time_reader {
public:
    explicit date_time_reader(const log_file_header& h)
        : settings_{TFormatSettings::from_locale(QLocale::system()),
                    TFormatSettings::from_locale(QLocale(QStringLiteral("en-US")))} {
        for (TFormatSettings& s : settings_) {
            s.LongDateFormat = h.long_date_format;
            s.ShortDateFormat = h.short_date_format;
            s.LongTimeFormat = h.long_time_format;
            s.ShortTimeFormat = h.short_time_format;
        }
    }

    std::optional<TDateTime> date(QStringView view, bool short_form) const {
        const QString field = view.toString();
        for (const TFormatSettings& s : settings_) {
            TDateTime value = 0;
            if (parse_date(field, short_form ? s.ShortDateFormat : s.LongDateFormat, s, value))
                return value;
        }
        return std::nullopt;
    }

    std::optional<TDateTime> time(QStringView view, bool short_form) const {
        const QString field = view.toString();
        const TFormatSettings& s = settings_[0]; // times hold no names
        TDateTime value = 0;
        if (parse_time(field, short_form ? s.ShortTimeFormat : s.LongTimeFormat, s, value))
            return value;
        return std::nullopt;
    }

private:
    std::array<TFormatSettings, 2> settings_;
};

Tlog_kind kind_named(QStringView name) {
    for (int kind = 0; kind < log_kind_count; ++kind)
        if (name == log_kind_names[static_cast<std::size_t>(kind)])
            return static_cast<Tlog_kind>(kind);
    return LK_INFO;
}

// An entry: a line that does not start with a space, with the lines starting with a space that
// follow it (a line of spaces only is an empty line of the text), up to `last`; empty lines in
// between are skipped.
struct entry_lines {
    std::size_t first;
    std::size_t last; // the entry's last line
    std::size_t continuation_count;
};

std::vector<entry_lines> split_entries(const std::vector<QStringView>& lines, std::size_t from) {
    std::vector<entry_lines> entries;
    entries.reserve(lines.size() - std::min(from, lines.size()));
    for (std::size_t i = from; i < lines.size(); ++i) {
        const QStringView line = lines[i];
        if (line.isEmpty())
            continue;
        if (line[0] != u' ') {
            entries.push_back({i, i, 0});
        } else if (!entries.empty()) {
            entries.back().last = i;
            ++entries.back().continuation_count;
        }
    }
    return entries;
}

// Reads the entries of a file with a header into the loading group.
class entry_reader {
public:
    entry_reader(const ILogGroupPtr& group, const log_file_header& header)
        : header_(header)
        , template_(parse_header_template(header.event_header))
        , dates_(header)
        , groups_{group}
        , level_(header.group_indent)
        , now_(date_time_now()) {
        running_ = running_last_ = file_name_date_time(header.file_name, now_);
    }

    void read(const std::vector<QStringView>& lines, const entry_lines& entry) {
        Tlog_kind kind = LK_INFO;
        recorded_fields fields;
        // The time of reading stands for the current time (read once: it takes a system call).
        if (!template_.has_time)
            running_ = now_;
        if (!template_.has_last_time)
            running_last_ = now_;

        date_read_ = false;
        QStringView line = lines[entry.first];
        for (const log_header_item& item : template_.items) {
            const QStringView field = line.first(std::min<qsizetype>(item.width, line.size()));
            line = line.sliced(std::min<qsizetype>(qsizetype{item.width} + item.gap, line.size()));
            read_field(item.item, field.trimmed(), kind, fields);
        }

        // The text with its continuation lines; the first line's indentation gives the depth.
        QString text = line.trimmed().toString();
        for (std::size_t i = entry.first + 1; i <= entry.last; ++i) {
            if (lines[i].isEmpty())
                continue;
            text += log_line_end;
            text += lines[i].trimmed();
        }
        text = text.trimmed();
        if (text.isEmpty())
            return;
        const qsizetype indentation = leading_spaces(line) + 1;
        while (indentation < level_ && groups_.size() > 1) {
            level_ -= header_.group_indent;
            groups_.pop_back();
        }

        if (kind == LK_GROUP) {
            Tgroup_kind group_kind = GK_NONE;
            for (int k = GK_NONE + 1; k < group_kind_count; ++k) {
                const QStringView marker = group_kind_markers[static_cast<std::size_t>(k)];
                if (const qsizetype at = text.indexOf(marker); at >= 0) {
                    group_kind = static_cast<Tgroup_kind>(k);
                    text.remove(at, marker.size());
                    break;
                }
            }
            const ILogGroupPtr sub = add_reader_group(groups_.back(), group_kind);
            if (!sub)
                return;
            sub->set_text(text.trimmed());
            restore_fields(sub, fields);
            groups_.push_back(sub);
            level_ += header_.group_indent;
        } else {
            add_loaded_event(groups_.back(), kind, text,
                             static_cast<std::int32_t>(1 + entry.continuation_count), fields);
        }
    }

private:
    // `field` is trimmed.
    void read_field(Log_info_item item, QStringView field, Tlog_kind& kind,
                    recorded_fields& fields) {
        bool ok = false;
        switch (item) {
        case lii_thread_id: {
            const qlonglong id = field.toLongLong(&ok);
            fields.thread_id = ok ? static_cast<TThreadID>(std::llabs(id)) : 0;
            break;
        }
        case lii_type:
            kind = kind_named(field);
            break;
        case lii_ticks: {
            const qlonglong ticks = field.toLongLong(&ok);
            fields.ticks = ok ? ticks : 0;
            break;
        }
        case lii_date:
        case lii_date_short:
            if (const auto date = dates_.date(field, item == lii_date_short)) {
                running_ = *date + time_part(running_);
                date_read_ = true;
            }
            fields.when = running_;
            break;
        case lii_time:
        case lii_time_short:
            if (const auto time = dates_.time(field, item == lii_time_short)) {
                TDateTime day = date_part(running_);
                // Entries come oldest first: without a date of its own, an hour below the
                // previous entry's is past midnight.
                if (seen_time_ && !date_read_ && hour_of(*time) < hour_of(running_))
                    day += 1;
                running_ = day + *time;
                seen_time_ = true;
            }
            fields.when = running_;
            break;
        case lii_last_date:
        case lii_last_date_short:
            if (const auto date = dates_.date(field, item == lii_last_date_short))
                running_last_ = *date + time_part(running_last_);
            fields.last_when = running_last_;
            break;
        case lii_last_time:
        case lii_last_time_short:
            if (const auto time = dates_.time(field, item == lii_last_time_short))
                running_last_ = date_part(running_last_) + *time;
            fields.last_when = running_last_;
            break;
        case lii_repeat_count: {
            const int count = field.toInt(&ok);
            fields.repeat_count = ok && count > 0 ? static_cast<std::uint32_t>(count) : 0;
            break;
        }
        default: // the other items are not read back
            break;
        }
    }

    const log_file_header& header_;
    const log_header_template template_;
    const date_time_reader dates_;
    std::vector<ILogGroupPtr> groups_; // the loading group, then the groups opened below it
    std::int64_t level_;
    const TDateTime now_;
    TDateTime running_ = 0;
    TDateTime running_last_ = 0;
    bool seen_time_ = false; // an entry's time was read: the midnight rule has a reference
    bool date_read_ = false; // the current entry gave its own date
};

void add_header_info(const ILogGroupPtr& group, const log_file_header& h) {
    const ILogGroupPtr info = add_reader_group(group, GK_NONE);
    if (!info)
        return;
    info->set_text(translate_or_keep(QStringLiteral("Header info")));
    info->add(LK_INFO, QStringLiteral("Group indent : %d"), {h.group_indent});
    info->add(LK_INFO, QStringLiteral("Most recent first : %s"), {yes_no(h.most_recent_first)});
    info->add(LK_INFO, QStringLiteral("Long date format : %s"), {h.long_date_format});
    info->add(LK_INFO, QStringLiteral("Short date format : %S"), {h.short_date_format});
    info->add(LK_INFO, QStringLiteral("Long time format : %s"), {h.long_time_format});
    info->add(LK_INFO, QStringLiteral("Short time format : %s"), {h.short_time_format});
    info->add(LK_INFO, QStringLiteral("Status stopped : %s"), {yes_no(h.stopped)});
    info->add(LK_INFO, QStringLiteral("Crash log : %s"), {yes_no(h.crash_log)});
    info->add(LK_INFO, QStringLiteral("Event header : %s"), {h.event_header});
    const log_module_tags& m = h.module;
    if (m.library) {
        info->add(LK_INFO, QStringLiteral("Host version : %s"),
                  {m.host_version.value_or(QString())});
        info->add(LK_INFO, QStringLiteral("Host name : %s"), {m.host_name});
        info->add(LK_INFO, QStringLiteral("Library version : %s"),
                  {m.library_version.value_or(QString())});
        info->add(LK_INFO, QStringLiteral("Library name : %s"), {m.library_name});
    } else {
        info->add(LK_INFO, QStringLiteral("Aplication version : %s"),
                  {m.app_version.value_or(QString())});
        info->add(LK_INFO, QStringLiteral("Application name : %s"), {m.app_name});
    }
}

// The older form: "YYYY-MM-DD hh:nn:ss<TAB>kind<TAB>text" lines, read from the last to the
// first. A line whose date or time cannot be read is not used.
bool load_older_form(const ILogGroupPtr& group, const std::vector<QStringView>& lines) {
    bool any = false;
    for (std::size_t i = lines.size(); i-- > 0;) {
        const QStringView line = lines[i];
        if (line.size() < 36 || is_blank(line))
            continue;
        const QList<QStringView> fields = line.split(u'\t');
        if (fields.size() != 3 || fields[0].size() < 19)
            continue;
        const QDate date = QDate::fromString(fields[0].first(10).toString(), u"yyyy-MM-dd");
        const QTime time = QTime::fromString(fields[0].sliced(11, 8).toString(), u"HH:mm:ss");
        if (!date.isValid() || !time.isValid())
            continue;
        const QStringView kind_name = fields[1].trimmed();
        const Tlog_kind kind = kind_name == u"----" ? LK_DECORATION : kind_named(kind_name);
        recorded_fields recorded;
        recorded.when = to_date_time(QDateTime(date, time));
        add_loaded_event(group, kind, fields[2].toString(), 1, recorded);
        any = true;
    }
    if (!any) {
        group->add(LK_ERROR, QStringLiteral("Unable to load log"));
        notify_loaded(group, lltLegacyError);
        return false;
    }
    if (const ILogGroupPtr info = add_reader_group(group, GK_NONE)) {
        info->set_text(translate_or_keep(QStringLiteral("Header info")));
        info->add(LK_WARNING, QStringLiteral("Old log format, no header info avalaible"));
    }
    notify_loaded(group, lltLegacy);
    return true;
}

// Loads each name into a reader group of its own; the number of names that loaded.
int load_file_list(const ILogGroupPtr& group, const QStringList& names) {
    if (names.isEmpty())
        return 0;
    int loaded = 0;
    for (const QString& name : names)
        if (const ILogGroupPtr sub = add_reader_group(group); sub && sub->LoadFromFile(name))
            ++loaded;
    notify_loaded(group, lltMultiple);
    return loaded;
}

// Folders being read on this thread, so that a link back up the tree is not followed forever.
thread_local QSet<QString> folders_in_reading;

bool load_folder(const ILogGroupPtr& group, const QString& folder) {
    group->set_text(
        fmt(translate_or_keep(QStringLiteral("{FileName}Logs loaded from path: \"{FileName}\"")),
            {folder}));
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (folders_in_reading.contains(canonical))
        return false;
    folders_in_reading.insert(canonical);

    const QDir dir(folder);
    bool any = false;
    for (const QFileInfo& sub : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (const ILogGroupPtr reader = add_reader_group(group))
            any = reader->LoadFromFile(sub.filePath()) || any;
    QStringList files;
    for (const QFileInfo& file : dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
        files += file.filePath();
    any = load_file_list(group, files) > 0 || any;

    folders_in_reading.remove(canonical);
    return any;
}

// The rest of the stream; false when it cannot be read.
bool read_rest(TByteStream& stream, QByteArray& bytes) {
    constexpr qsizetype chunk = 1 << 20;
    for (;;) {
        const qsizetype at = bytes.size();
        bytes.resize(at + chunk);
        const std::int64_t got = stream.Read(
            std::as_writable_bytes(std::span(bytes.data() + at, static_cast<std::size_t>(chunk))));
        bytes.resize(at + std::max<qsizetype>(got, 0));
        if (got <= 0)
            return got == 0;
    }
}

// The whole file through the file stream; false when it cannot be opened or read.
bool read_whole_file(const QString& name, QByteArray& bytes) {
    try {
        const auto stream = TZelFileStream::Create_to_read(QFile::encodeName(name).toStdString());
        return stream->Opened() && read_rest(*stream, bytes);
    } catch (const EFileStreamError&) { // a name the system cannot take
        return false;
    }
}

} // namespace

bool load_log_from_file(const ILogGroupPtr& group, const QString& file_name) {
    if (!group)
        return false;
    const QFileInfo info(file_name);
    if (info.isDir())
        return load_folder(group, file_name);
    if (!info.exists()) {
        group->add(LK_ERROR, QStringLiteral("File \"%s\" does not exist"), {file_name});
        return false;
    }
    QByteArray bytes;
    // Only a regular file is read: a pipe or a device might never end.
    if (!info.isFile() || !read_whole_file(file_name, bytes))
        return false;
    if (info.suffix().compare(u"crashlist", Qt::CaseInsensitive) == 0) {
        group->set_text(fmt(
            translate_or_keep(QStringLiteral("{FileName}Crash logs loaded from: \"{FileName}\"")),
            {file_name}));
        QStringList names;
        const QString list = decode_log_text(bytes);
        for (const QStringView line : split_lines(list))
            if (const qsizetype equal = line.indexOf(u'='); equal >= 0)
                names += line.sliced(equal + 1).toString();
        return load_file_list(group, names) > 0;
    }
    return load_log_from_bytes(
        group, bytes,
        fmt(translate_or_keep(QStringLiteral("{FileName}Extracted from \"{FileName}\"")),
            {file_name}));
}

bool load_log_from_stream(const ILogGroupPtr& group, TByteStream& stream, const QString& caption) {
    QByteArray bytes;
    if (!group || !read_rest(stream, bytes))
        return false;
    return load_log_from_bytes(group, bytes, caption);
}

bool load_log_from_bytes(const ILogGroupPtr& group, QByteArrayView bytes, const QString& caption) {
    if (!group)
        return false;
    group->set_text(caption);
    const QString text = decode_log_text(bytes);
    const std::vector<QStringView> lines = split_lines(text);

    header_tags tags;
    const std::size_t first_entry_line = tags.read(lines);
    const log_file_header header = read_header(tags);
    if (header.file_name.isEmpty())
        return load_older_form(group, lines);

    const std::vector<entry_lines> entries = split_entries(lines, first_entry_line);
    entry_reader reader(group, header);
    if (header.most_recent_first)
        for (std::size_t i = entries.size(); i-- > 0;)
            reader.read(lines, entries[i]);
    else
        for (const entry_lines& entry : entries)
            reader.read(lines, entry);
    add_header_info(group, header);
    notify_loaded(group, lltNew);
    return true;
}

} // namespace zel
