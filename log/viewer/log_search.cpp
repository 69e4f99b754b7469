#include "log/viewer/log_search.h"

#include "log/viewer/log_visualizer.h"

namespace zel {

bool TSearchData::Enabled() const {
    return FOwner->model() != nullptr && FOwner->model()->rowCount() > 0;
}

bool TSearchData::Active() const {
    return Enabled() && !FText.isEmpty();
}

void TSearchData::SetActive(bool Value) {
    FActive = Value;
    if (!Value) {
        FText.clear();
        FEventId = no_search_event_id;
    }
    SetColors(FActive);
}

void TSearchData::SetColors(bool SearchColors) {
    if (!FOwner->FLgvReady)
        return;
    FOwner->SetSelectionColors(SearchColors);
}

void TSearchData::save_colors(TColor focused, TColor unfocused) {
    FOriginalFocusedSelectionColor = focused;
    FOriginalUnFocusedSelectionColor = unfocused;
}

QString TSearchData::fold_ascii(const QString& text) {
    QString folded = text;
    for (QChar& c : folded)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return folded;
}

} // namespace zel
