#pragma once

#include "log/core/log_interfaces.h"

#include <QColor>

#include <cstdint>
#include <functional>
#include <optional>

namespace zel {

// A colour in the byte order 0x00BBGGRR that stored options and host settings use.
using TColor = std::uint32_t;

// The "no colour" value of a row's override colour.
constexpr TColor no_color = 0x1FFFFFFF;
constexpr TColor white_color = 0xFFFFFF;
// Selection colour of a row found by a search (orange).
constexpr TColor search_color = 0x4080FF;

// Row colouring rule of the log viewer.
enum ELogColorMode : std::uint8_t {
    lcmNone,
    lcmKind,
    lcmDepth,
    lcmGroup,
    lcmDepthKind,
    lcmGroupKind,
    lcmCustom
};

constexpr std::int32_t group_palette_size = 15;

// Entry i of the pale group palette; entry 0 for a negative i.
TColor group_palette(std::int32_t i);

// The colour index the next group node takes; the shared counter then moves on, modulo the
// palette size. Shared by all viewers of the process.
std::int32_t next_group_color_index();
// Starts the shared counter again at 0 (a new viewer does).
void reset_group_color_counter();

// The host's last word on a row's background: called with the colour the mode chose (none in
// lcmCustom, where the host alone decides), unless an override colour or the mode already
// settled it.
using TOnRowBackground =
    std::function<void(const ILogEventPtr& entry, std::optional<TColor>& color)>;

QColor to_qcolor(TColor color);
TColor from_qcolor(const QColor& color);

} // namespace zel
