#include "log/persistence/log_file_format.h"

#include "log/core/log_extensions.h"
#include "log/core/safe_format.h"
#include "log/core/text_templates.h"
#include "log/support/module_version.h"

#include <QFileInfo>

#include <algorithm>

namespace zel {

namespace {

void add_tag(QString& out, QStringView tag, QStringView value) {
    out += tag;
    out += u'=';
    out += value;
    out += log_line_end;
}

QStringView true_or_false(bool value) {
    return value ? u"true" : u"false";
}

// Every line break of `text` as CR LF followed by `width` spaces.
QString indent_lines(const QString& text, qsizetype width) {
    const QString indent = log_line_end.toString() + QString(width, u' ');
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += indent;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

QString quoted_text(const QString& text) {
    QString out = text;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

const log_module_tags& this_module_tags() {
    static const log_module_tags module = [] {
        static const char in_this_module = 0;
        log_module_tags m;
        const QString host = get_module_file_name();
        QString version;
        m.library = module_is_library(&in_this_module);
        if (m.library) {
            const QString path = get_module_file_name(&in_this_module);
            m.library_name = QFileInfo(path).fileName();
            if (get_file_version(path, version))
                m.library_version = version;
            m.host_name = host;
            if (get_file_version(host, version))
                m.host_version = version;
        } else {
            m.app_name = QFileInfo(host).fileName();
            if (get_file_version(host, version))
                m.app_version = version;
        }
        return m;
    }();
    return module;
}

QString format_header_block(const log_file_header& header) {
    const log_module_tags& module = header.module;
    QString out;
    add_tag(out, header.crash_log ? log_tag::crash_log : log_tag::std_log,
            quoted_text(header.file_name));
    add_tag(out, log_tag::library, true_or_false(module.library));
    if (module.library) {
        add_tag(out, log_tag::library_name, module.library_name);
        if (module.library_version)
            add_tag(out, log_tag::library_version, *module.library_version);
        add_tag(out, log_tag::host_name, module.host_name);
        if (module.host_version)
            add_tag(out, log_tag::host_version, *module.host_version);
    } else {
        add_tag(out, log_tag::app_name, module.app_name);
        if (module.app_version)
            add_tag(out, log_tag::app_version, *module.app_version);
    }
    add_tag(out, log_tag::most_recent, header.most_recent_first ? u"first" : u"last");
    add_tag(out, log_tag::event_header, quoted_text(header.event_header));
    add_tag(out, log_tag::long_date_format, header.long_date_format);
    add_tag(out, log_tag::short_date_format, header.short_date_format);
    add_tag(out, log_tag::long_time_format, header.long_time_format);
    add_tag(out, log_tag::short_time_format, header.short_time_format);
    add_tag(out, log_tag::status, header.stopped ? u"stopped" : u"started");
    add_tag(out, log_tag::group_indent, QString::number(header.group_indent));
    out += log_line_end;
    return out;
}

QString format_event_line(const ILogEvent& event, const log_entry_layout& layout) {
    QString text = layout.use_locale ? event.local_or_native_text() : event.text();
    if (text.isEmpty())
        return {};
    if (event.log_type() == LK_DECORATION && layout.decoration_padding > 0 &&
        !layout.decoration_pattern.isEmpty())
        text = pad_text(text, layout.decoration_padding, 1, layout.decoration_pattern);

    QString prefix = event.preprocess(layout.event_header, layout.use_locale, true);
    if (layout.group_indent > 0)
        prefix += QString(qsizetype{event.depth()} * layout.group_indent, u' ');

    if (const std::uint32_t repeats = event.repeat_count(); repeats != 0) {
        const QString suffix = QStringLiteral("^^^Repeated %d Times in %s^^^");
        text += log_line_end;
        text += safe_format(
            layout.use_locale ? translate_or_keep(suffix) : suffix,
            {std::int64_t{repeats} + 1, duration_text(event.last_when() - event.when())});
    }
    if (const auto* group = dynamic_cast<const ILogGroup*>(&event))
        text += group->name_prefix();
    return indent_lines(prefix + text, prefix.size());
}

std::size_t whole_entries_length(std::string_view file, std::size_t header_size,
                                 std::size_t limit) {
    limit = std::min(limit, file.size());
    if (limit < header_size)
        return 0;
    // An entry ends with CR LF before a line that does not start with a blank (continuation
    // lines do), or at the end of the file.
    for (std::size_t end = limit; end > header_size; --end) {
        if (file[end - 1] == '\n' && end >= 2 && file[end - 2] == '\r' &&
            (end == file.size() || file[end] != ' '))
            return end;
    }
    return header_size;
}

} // namespace zel
