#pragma once

#include "log/core/log_interfaces.h"

#include <QString>

#include <vector>

namespace zel {

// One level of an entry's place in a log tree: its kind and text, how many earlier entries of
// the same group have the same kind and text, and its position in the group.
struct TLogEntryStep {
    Tlog_kind kind = LK_INFO;
    QString text;
    std::int32_t ordinal = 0;
    std::int32_t index = 0;

    bool operator==(const TLogEntryStep&) const = default;
};

// Where an entry sits below a group, told by texts first and by positions second, so that the
// same entry is found again in the log read anew from a file that has grown since: the file adds
// its newest entries after the others, but the loader's "Header info" group always comes last,
// and an entry repeated since then has gained the repeat line in its text.
using TLogEntryPath = std::vector<TLogEntryStep>;

// The path from `top` down to `entry`; empty when `entry` is not below `top`.
TLogEntryPath entry_path(const ILogEventPtr& entry, const ILogGroupPtr& top);

// The entry at `path` below `top`: at each level the entry of the same kind, text and ordinal,
// else the one of the same kind at the same position; null when there is neither.
ILogEventPtr find_entry(const ILogGroupPtr& top, const TLogEntryPath& path);

} // namespace zel
