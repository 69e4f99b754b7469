#include "tools/zel-log-viewer/log_entry_path.h"

#include <algorithm>

namespace zel {

namespace {

bool same_entry(const ILogEvent& entry, const TLogEntryStep& step) {
    return entry.log_type() == step.kind && entry.text() == step.text;
}

} // namespace

TLogEntryPath entry_path(const ILogEventPtr& entry, const ILogGroupPtr& top) {
    TLogEntryPath path;
    if (!entry || !top)
        return path;
    ILogEventPtr level = entry;
    bool reached = false;
    for (ILogGroupPtr parent = level->parent(); parent && !reached; parent = parent->parent()) {
        TLogEntryStep step{level->log_type(), level->text(), 0, level->index()};
        for (std::int32_t i = 0, end = level->index(); i < end; ++i)
            if (const ILogEventPtr sibling = parent->getevent(i);
                sibling && same_entry(*sibling, step))
                ++step.ordinal;
        path.push_back(std::move(step));
        reached = parent == top;
        level = parent;
    }
    if (!reached)
        return {};
    std::reverse(path.begin(), path.end());
    return path;
}

ILogEventPtr find_entry(const ILogGroupPtr& top, const TLogEntryPath& path) {
    ILogGroupPtr group = top;
    ILogEventPtr found;
    for (const TLogEntryStep& step : path) {
        if (!group)
            return nullptr;
        found = nullptr;
        for (std::int32_t i = 0, seen = 0, end = group->event_count(); i < end && !found; ++i)
            if (const ILogEventPtr entry = group->getevent(i); entry && same_entry(*entry, step))
                if (seen++ == step.ordinal)
                    found = entry;
        if (const ILogEventPtr same_place = group->getevent(step.index);
            !found && same_place && same_place->log_type() == step.kind)
            found = same_place;
        if (!found)
            return nullptr;
        group = std::dynamic_pointer_cast<ILogGroup>(found);
    }
    return found;
}

} // namespace zel
