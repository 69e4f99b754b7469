#include "tools/zel-log-viewer/viewer_settle.h"

#include "log/core/log_lists.h"
#include "log/viewer/log_tree_model.h"
#include "log/viewer/log_visualizer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

namespace zel {

namespace {

bool shows_group(const TZelLogVisualizer& viewer, const ILogGroupPtr& group,
                 const QModelIndex& row) {
    if (viewer.model()->rowCount(row) != group->event_count())
        return false;
    const ILogGroupListPtr sub_groups = group->groups();
    for (std::int32_t i = 0, count = sub_groups->Count(); i < count; ++i) {
        const ILogGroupPtr sub_group = sub_groups->GetItems(i);
        const QModelIndex sub_row = sub_group ? viewer.NodeOf(sub_group) : QModelIndex();
        if (sub_group && (!sub_row.isValid() || !shows_group(viewer, sub_group, sub_row)))
            return false;
    }
    return true;
}

} // namespace

bool viewer_shows_whole_log(const TZelLogVisualizer& viewer) {
    const ILogGroupPtr root = viewer.RootDisplayedEntry();
    return !root || shows_group(viewer, root, {});
}

bool settle_viewer(TZelLogVisualizer& viewer, int timeout_ms) {
    const QDeadlineTimer deadline(timeout_ms);
    // Wakes the wait below at least this often: a viewer between two drain turns posts nothing.
    QTimer wake;
    wake.setSingleShot(true);
    for (;;) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!viewer.LogModel()->has_work() && viewer_shows_whole_log(viewer))
            return true;
        if (deadline.hasExpired())
            return false;
        wake.start(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 20)));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

} // namespace zel
