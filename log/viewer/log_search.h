#pragma once

#include "log/core/log_interfaces.h"
#include "log/viewer/log_colors.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace zel {

class TZelLogVisualizer;

enum ESearchDirection : std::uint8_t { sdNext, sdPrevious };

// Told of a search's outcome (Entry null when nothing was found); may change Success and
// SearchText, and so supply a text when none was given.
using TOnLogVisuSearchDone =
    std::function<void(TZelLogVisualizer* Sender, const ILogEventPtr& Entry, bool& Success,
                       QString& SearchText, ESearchDirection Direction)>;

// Event id of "no event found".
constexpr std::uint32_t no_search_event_id = 0xFFFFF7;

// The viewer's search state: the last text, the last event found, and the selection colours
// to restore once the user moves on.
class TSearchData {
public:
    explicit TSearchData(TZelLogVisualizer* AOwner)
        : FOwner(AOwner) {}

    const QString& Text() const { return FText; }
    void set_Text(const QString& value) { FText = value; }
    std::uint32_t EventId() const { return FEventId; }
    void set_EventId(std::uint32_t value) { FEventId = value; }
    // True when the viewer has rows and a search text is set.
    bool Active() const;
    // Stores the state; false also forgets the text and the event found. Applies the search
    // colours when true, restores the saved ones when false.
    void SetActive(bool Value);
    // The viewer has at least one top-level row.
    bool Enabled() const;
    // true: both selection colours become the search colour; false: both are restored. Nothing
    // until the viewer saved its colours (Loaded).
    void SetColors(bool SearchColors);

    // Saved by the viewer's Loaded.
    void save_colors(TColor focused, TColor unfocused);
    TColor OriginalFocusedSelectionColor() const { return FOriginalFocusedSelectionColor; }
    TColor OriginalUnFocusedSelectionColor() const { return FOriginalUnFocusedSelectionColor; }

    // `text` with ASCII letters A-Z turned into a-z; other characters stay as they are.
    static QString fold_ascii(const QString& text);

private:
    QString FText;
    std::uint32_t FEventId = no_search_event_id;
    bool FActive = false;
    TZelLogVisualizer* const FOwner;
    TColor FOriginalFocusedSelectionColor = 0;
    TColor FOriginalUnFocusedSelectionColor = 0;
};

} // namespace zel
