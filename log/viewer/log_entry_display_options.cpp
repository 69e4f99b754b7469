#include "log/viewer/log_entry_display_options.h"

#include <array>

namespace zel {

namespace {

constexpr std::array<TColor, log_kind_count> default_colors{0xC3FFFE, // LK_DECORATION, pale yellow
                                                            0xFFFFFF, // LK_GROUP
                                                            0xFFFFFF, // LK_SHOWSTOPPER
                                                            0x0000FF, // LK_CRITICAL, red
                                                            0x4080FF, // LK_EXCEPTION, orange
                                                            0x0000FF, // LK_ERROR, red
                                                            0xB9B9FF, // LK_WARNING, light red
                                                            0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                                            0xFFFFFF, 0xFFFFFF, 0xFFFFFF};

constexpr const char* group_text_format = "{text} ({child_count} event(s))";

Tlog_kind kind_for(const TGenericCollection<TZelLogEntryDisplayOptions>* collection) {
    return collection != nullptr ? static_cast<Tlog_kind>(collection->Count() - 1) : LK_INFO;
}

} // namespace

TZelLogEntryDisplayOptions::TZelLogEntryDisplayOptions(
    TGenericCollection<TZelLogEntryDisplayOptions>* Collection)
    : FCollection(Collection)
    , FColor(white_color)
    , FLogKind(kind_for(Collection))
    , FTextFormat(QStringLiteral("{text}")) {
    if (FLogKind < log_kind_count)
        FColor = default_colors[FLogKind];
    if (FLogKind == LK_GROUP)
        FTextFormat = QString::fromLatin1(group_text_format);
}

IDisplayOptionsOwner* TZelLogEntryDisplayOptions::owner() const {
    return FCollection != nullptr ? FCollection->Owner() : nullptr;
}

void TZelLogEntryDisplayOptions::set_Color(TColor value) {
    if (value == FColor)
        return;
    FColor = value;
    if (IDisplayOptionsOwner* viewer = owner())
        viewer->DisplayOptionsRepaint();
}

void TZelLogEntryDisplayOptions::set_Visible(bool value) {
    if (value == FVisible)
        return;
    FVisible = value;
    if (IDisplayOptionsOwner* viewer = owner())
        viewer->DisplayOptionsVisibilityChanged(FLogKind, value);
}

void TZelLogEntryDisplayOptions::set_ImageIndex(std::int32_t value) {
    if (value == FImageIndex)
        return;
    FImageIndex = value;
    if (IDisplayOptionsOwner* viewer = owner())
        viewer->DisplayOptionsRepaint();
}

void TZelLogEntryDisplayOptions::AssignTo(TZelLogEntryDisplayOptions& Dest) const {
    Dest.FColor = FColor;
    Dest.FLogKind = FLogKind;
}

TZelLogEntryDisplayOptionsCollection::TZelLogEntryDisplayOptionsCollection(
    IDisplayOptionsOwner* owner)
    : TGenericCollection<TZelLogEntryDisplayOptions>(owner) {}

} // namespace zel
