#include "app/gui/main_log_panel.h"

#include "log/viewer/log_visualizer.h"

namespace zel {

namespace {

// The widths the window stores for the viewer's columns; only "When" and "Event" are shown.
struct TStoredColumn {
    TZelLogVisualizer::EColumn column;
    int width;
    bool visible;
};
constexpr TStoredColumn stored_columns[] = {
    {TZelLogVisualizer::colWhen, 100, true},        {TZelLogVisualizer::colLastWhen, 100, false},
    {TZelLogVisualizer::colKind, 80, false},        {TZelLogVisualizer::colTicks, 80, false},
    {TZelLogVisualizer::colUniqueId, 60, false},    {TZelLogVisualizer::colThreadId, 60, false},
    {TZelLogVisualizer::colRepeatCount, 80, false}, {TZelLogVisualizer::colEvent, 407, true},
};

void apply_stored_values(TZelLogVisualizer& viewer) {
    viewer.setObjectName(QStringLiteral("ZelLogVisualizer1"));
    viewer.setMinimumWidth(200);
    viewer.setFont(QFont(QStringLiteral("Tahoma"), 8));
    for (const TStoredColumn& stored : stored_columns) {
        viewer.setColumnWidth(stored.column, stored.width);
        viewer.setColumnHidden(stored.column, !stored.visible);
    }
    viewer.SetColorMode(lcmKind);
    viewer.sortByColumn(TZelLogVisualizer::colWhen, Qt::DescendingOrder);
}

} // namespace

TMainLogPanel::TMainLogPanel(QWidget* window)
    : ZelLogVisualizer1(new TZelLogVisualizer(window)) {
    apply_stored_values(*ZelLogVisualizer1);
    Log_config1 = main_window_log_config();
    // The form's loaded step, in creation order: the viewer listens to the root, then the
    // storage is registered, so the session header is both shown and written.
    ZelLogVisualizer1->Loaded();
    Log_config1->Loaded();
}

TMainLogPanel::~TMainLogPanel() = default;

QString TMainLogPanel::CurrentLogFile() const {
    const TLogStorage_config* storage = Log_config1->storages().storage(0);
    return storage != nullptr ? storage->fq_filename() : QString();
}

void TMainLogPanel::FullExpand() {
    ZelLogVisualizer1->expandAll();
}

} // namespace zel
