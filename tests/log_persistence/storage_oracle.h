#pragma once

// The file a storage must hold, built the slow and obvious way: the header block, then every
// selected event formatted afresh, in the storage's order.

#include "log/core/log_lists.h"
#include "log/core/log_storage_interface.h"
#include "log/persistence/log_file_format.h"
#include "log/support/log_text_codec.h"

#include <QByteArray>

namespace zel::testing {

inline QByteArray expected_file(const ILogStorage& storage, const ILogRoot& root, bool stopped) {
    log_file_header header;
    header.file_name = storage.fq_filename();
    header.crash_log = storage.crash_log();
    header.most_recent_first = storage.most_recent_first();
    header.event_header = storage.event_header();
    header.long_date_format = root.long_date_format();
    header.short_date_format = root.short_date_format();
    header.long_time_format = root.long_time_format();
    header.short_time_format = root.short_time_format();
    header.stopped = stopped;
    header.group_indent = storage.group_indent();
    header.module = this_module_tags();
    QString text = format_header_block(header);

    const log_entry_layout layout{storage.event_header(), storage.use_locale(),
                                  storage.group_indent(), storage.decoration_padding(),
                                  storage.decoration_pattern()};
    const auto selection = std::make_shared<TLogEventList>();
    storage.group()->select(selection, storage.discard(), nullptr);
    const std::int32_t count = selection->Count();
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t at = storage.most_recent_first() ? count - 1 - i : i;
        const QString line = format_event_line(*selection->GetItems(at), layout);
        if (!line.isEmpty())
            text += line + log_line_end.toString();
    }
    return encode_log_text(text);
}

} // namespace zel::testing
