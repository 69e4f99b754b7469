#pragma once

#include "Common/date_time.h"

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>

namespace zel {

using TThreadID = std::uint32_t;

// Kinds of log events, from the decoration lines through the severities to debug output.
enum Tlog_kind : std::uint8_t {
    LK_DECORATION,
    LK_GROUP,
    LK_SHOWSTOPPER,
    LK_CRITICAL,
    LK_EXCEPTION,
    LK_ERROR,
    LK_WARNING,
    LK_HINT,
    LK_IMPORTANT,
    LK_INFO,
    LK_VERBOSE,
    LK_VERYVERBOSE,
    LK_DEBUG,
};
inline constexpr int log_kind_count = LK_DEBUG + 1;

// Display names of the kinds, in kind order.
inline constexpr std::array<QStringView, log_kind_count> log_kind_names = {
    u"------------", u"Group",        u"Show Stopper", u"Critical",  u"Exception",
    u"Error",        u"Warning",      u"Hint",         u"Important", u"Info",
    u"Verbose",      u"Very Verbose", u"Debug",
};

// The display name of a kind; empty for a value outside the enumeration.
QString log_kind_name(Tlog_kind kind);

// A set of kinds as a 16-bit mask (bit n for kind n).
class Tlog_kinds {
public:
    constexpr Tlog_kinds() noexcept = default;
    constexpr Tlog_kinds(std::initializer_list<Tlog_kind> kinds) noexcept {
        for (const Tlog_kind kind : kinds)
            Fmask = static_cast<std::uint16_t>(Fmask | bit(kind));
    }

    static constexpr Tlog_kinds from_mask(std::uint16_t mask) noexcept {
        Tlog_kinds kinds;
        kinds.Fmask = mask;
        return kinds;
    }
    // Every one of the thirteen kinds.
    static constexpr Tlog_kinds all() noexcept {
        return from_mask(static_cast<std::uint16_t>((1u << log_kind_count) - 1u));
    }

    constexpr std::uint16_t mask() const noexcept { return Fmask; }
    constexpr bool empty() const noexcept { return Fmask == 0; }
    // A value above 15 cannot be in a 16-bit set.
    constexpr bool contains(Tlog_kind kind) const noexcept { return (Fmask & bit(kind)) != 0; }

    constexpr void include(Tlog_kind kind) noexcept {
        Fmask = static_cast<std::uint16_t>(Fmask | bit(kind));
    }
    constexpr void exclude(Tlog_kind kind) noexcept {
        Fmask = static_cast<std::uint16_t>(Fmask & ~bit(kind));
    }

    friend constexpr bool operator==(Tlog_kinds a, Tlog_kinds b) noexcept = default;
    friend constexpr Tlog_kinds operator|(Tlog_kinds a, Tlog_kinds b) noexcept {
        return from_mask(static_cast<std::uint16_t>(a.Fmask | b.Fmask));
    }

private:
    static constexpr std::uint16_t bit(Tlog_kind kind) noexcept {
        return kind < 16 ? static_cast<std::uint16_t>(1u << kind) : std::uint16_t{0};
    }

    std::uint16_t Fmask = 0;
};

// Group kinds: a group of such a kind carries the kind's marker in front of its generated name.
enum Tgroup_kind : std::uint8_t { GK_NONE, GK_READER, GK_CONVERT_SESSION, GK_TITLESET };
inline constexpr int group_kind_count = GK_TITLESET + 1;

inline constexpr std::array<QStringView, group_kind_count> group_kind_markers = {
    u"",
    u"|GK_READER|",
    u"|GK_CONVERT_SESSION|",
    u"|GK_TITLESET|",
};

// A generated group name holds its identity as a 38-character GUID from its first "{", after
// the kind's marker if any: the name without it, or nothing when the name has no "{".
std::optional<QString> without_identity(const QString& name);

// Information items of an event that a template names as {name}.
enum Log_info_item : std::uint8_t {
    lii_index,
    lii_depth,
    lii_group,
    lii_id,
    lii_thread_id,
    lii_type,
    lii_ticks,
    lii_ticks_relative,
    lii_date,
    lii_date_short,
    lii_time,
    lii_time_short,
    lii_time_relative,
    lii_last_date,
    lii_last_date_short,
    lii_last_time,
    lii_last_time_short,
    lii_last_time_relative,
    lii_duration,
    lii_repeat_count,
    lii_add_count,
    lii_text,
    lii_pid,
    lii_module,
    lii_context,
    lii_child_count,
    lii_variant,
    lii_group_prefix,
    nb_info_items,
};

// Tag name and column width of an information item (width 0: never padded).
struct log_item_fmt {
    QStringView name;
    std::int32_t width;
};

inline constexpr std::array<log_item_fmt, nb_info_items + 1> log_item_fmts = {{
    {u"index", 6},
    {u"depth", 2},
    {u"group", 12},
    {u"id", 6},
    {u"thread_id", 4},
    {u"type", 12},
    {u"ticks", 19},
    {u"ticks_relative", 19},
    {u"date", 10},
    {u"date_short", 7},
    {u"time", 12},
    {u"time_short", 8},
    {u"time_relative", 12},
    {u"last_date", 10},
    {u"last_date_short", 6},
    {u"last_time", 12},
    {u"last_time_short", 8},
    {u"last_time_relative", 12},
    {u"duration", 0},
    {u"repeat_count", 6},
    {u"add_count", 6},
    {u"text", 0},
    {u"pid", 4},
    {u"module", 0},
    {u"context", 0},
    {u"child_count", 6},
    {u"variant", 0},
    {u"group_prefix", 0},
    {u"", 0},
}};

// Names of an event's information fields.
enum log_event_info : std::uint8_t {
    lei_type,
    lei_id,
    lei_group_id,
    lei_index,
    lei_depth,
    lei_thread_id,
    lei_ticks,
    lei_when,
    lei_last_ticks,
    lei_last_when,
    lei_add_count,
    lei_repeat_count,
    lei_text,
    lei_local_text,
    lei_pp_format,
    lei_group_name,
    lei_group_header,
    lei_group_footer,
    lei_root_values,
};

// A set of event information fields, 32 bits.
using log_event_infos = std::uint32_t;

// What reading a log back found.
enum ELogLoadType : std::uint8_t {
    lltUnknwon,
    lltNew,
    lltLegacy,
    lltMultiple,
    lltError,
    lltLegacyError,
};

} // namespace zel
