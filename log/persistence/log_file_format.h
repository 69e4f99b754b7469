#pragma once

#include "log/core/log_interfaces.h"

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zel {

// The text form of a log file, shared by the storage that writes it and the loader that reads it
// back: a block of ":tag=value" lines, one empty line, then one entry per event. Every line ends
// with CR LF.

inline constexpr QStringView log_line_end = u"\r\n";

// Tags of the header block, in the order the writer emits them.
namespace log_tag {
inline constexpr QStringView std_log = u":std_log";
inline constexpr QStringView crash_log = u":crash_log";
inline constexpr QStringView library = u":library";
inline constexpr QStringView library_name = u":library_name";
inline constexpr QStringView library_version = u":library_Version";
inline constexpr QStringView host_name = u":host_name";
inline constexpr QStringView host_version = u":host_version";
inline constexpr QStringView app_name = u":app_name";
inline constexpr QStringView app_version = u":app_version";
inline constexpr QStringView most_recent = u":most_recent";
inline constexpr QStringView event_header = u":event_header";
inline constexpr QStringView long_date_format = u":LongDateFormat";
inline constexpr QStringView short_date_format = u":ShortDateFormat";
inline constexpr QStringView long_time_format = u":LongTimeFormat";
inline constexpr QStringView short_time_format = u":ShortTimeFormat";
inline constexpr QStringView status = u":status";
inline constexpr QStringView group_indent = u":group_indent";
} // namespace log_tag

// The time stamp of a log file's name: date, time to the second and milliseconds.
inline constexpr QStringView log_file_stamp_pattern = u"yyyymmdd\".\"hhnnss\".\"zzz";

// `text` in single quotes, each quote inside doubled.
QString quoted_text(const QString& text);

// The program or library that wrote a log, as its header names it: a library with its host
// executable, or a program. A version is there when the file had one.
struct log_module_tags {
    bool library = false;
    QString library_name; // file name of the library
    std::optional<QString> library_version;
    QString host_name; // full path of the executable that loaded the library
    std::optional<QString> host_version;
    QString app_name; // file name of the program
    std::optional<QString> app_version;

    bool operator==(const log_module_tags&) const = default;
};
// The module this code runs in, looked up once.
const log_module_tags& this_module_tags();

// The values of a header block. The writer gives the plain file name, the reader keeps it as
// written (quoted).
struct log_file_header {
    QString file_name;
    bool crash_log = false;
    log_module_tags module;
    bool most_recent_first = true;
    QString event_header;
    QString long_date_format;
    QString short_date_format;
    QString long_time_format;
    QString short_time_format;
    bool stopped = false;
    std::int32_t group_indent = 4;

    bool operator==(const log_file_header&) const = default;
};

// The header block with its closing empty line.
QString format_header_block(const log_file_header& header);

// What shapes one entry.
struct log_entry_layout {
    QString event_header = QStringLiteral("{time}  {type}");
    bool use_locale = false;
    std::int32_t group_indent = 4;
    std::int32_t decoration_padding = 120;
    QString decoration_pattern = QStringLiteral("*");
};

// One entry without its final line end: the event header expanded with column widths, the
// indentation of the event's depth, the text (a decoration centred, a repeat suffix and a group's
// kind marker added); every line after the first is indented by the width of that prefix. Any
// line break inside (CR LF, or a lone LF or CR) becomes CR LF. Empty when the text is empty.
QString format_event_line(const ILogEvent& event, const log_entry_layout& layout);

// The longest start of the encoded file `file`, no longer than `limit` bytes, that holds the
// header block (its first `header_size` bytes) and whole entries only, so that it reads back as
// a log; 0 when not even the header block fits.
std::size_t whole_entries_length(std::string_view file, std::size_t header_size, std::size_t limit);

} // namespace zel
