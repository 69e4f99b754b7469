#include "log/viewer/log_colors.h"

#include <array>
#include <atomic>

namespace zel {

namespace {

constexpr std::array<TColor, group_palette_size> palette{
    0xF0FFFF, 0xF0FFF0, 0xFAFFF5, 0xFFFFF0, 0xFFF8F8, 0xF0FAFF, 0xE1E4FF, 0xFFF8F0,
    0xD7EBFA, 0xEEF5FF, 0xF5F5F5, 0xE6F5FD, 0xDCF5F5, 0xE6F0FA, 0xF5F0FF};

std::atomic<std::int32_t> group_color_counter{0};

} // namespace

TColor group_palette(std::int32_t i) {
    return i >= 0 && i < group_palette_size ? palette[static_cast<std::size_t>(i)] : palette[0];
}

std::int32_t next_group_color_index() {
    std::int32_t current = group_color_counter.load(std::memory_order_relaxed);
    while (!group_color_counter.compare_exchange_weak(current, (current + 1) % group_palette_size,
                                                      std::memory_order_relaxed)) {
    }
    return current;
}

void reset_group_color_counter() {
    group_color_counter.store(0, std::memory_order_relaxed);
}

QColor to_qcolor(TColor color) {
    return {static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
            static_cast<int>((color >> 16) & 0xFF)};
}

TColor from_qcolor(const QColor& color) {
    return static_cast<TColor>(color.red()) | (static_cast<TColor>(color.green()) << 8) |
           (static_cast<TColor>(color.blue()) << 16);
}

} // namespace zel
