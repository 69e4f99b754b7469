#pragma once

#include "log/core/log_vocabulary.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace zel {

// An event header template taken apart for reading entries back: each tag with its column
// width and the number of literal characters up to the next tag.
struct log_header_item {
    Log_info_item item;
    std::int32_t width;
    std::int32_t gap;
};

struct log_header_template {
    std::vector<log_header_item> items;
    bool has_time = false;      // {time} or {time_short}
    bool has_last_time = false; // {last_time} or {last_time_short}
};

// Quotes are dropped first. Reading stops at the first place that is not a known tag (a literal
// before the first tag, or an unknown tag): the items found so far are kept, and the rest of
// each entry line is read as its text. A tag's width says how many characters its field takes;
// text after the last tag is no gap.
log_header_template parse_header_template(QString text);

} // namespace zel
