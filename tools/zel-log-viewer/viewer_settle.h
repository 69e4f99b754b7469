#pragma once

namespace zel {

class TZelLogVisualizer;

// True when every entry of the viewer's displayed root, at every level, has its row.
bool viewer_shows_whole_log(const TZelLogVisualizer& viewer);

// Runs the event loop until the viewer shows its whole log (at most `timeout_ms`); false when
// the time ran out first.
bool settle_viewer(TZelLogVisualizer& viewer, int timeout_ms);

} // namespace zel
