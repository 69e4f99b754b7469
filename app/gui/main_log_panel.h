#pragma once

#include "log/persistence/log_config.h"

#include <QString>
#include <QWidget>

#include <memory>

namespace zel {

class TZelLogVisualizer;

// The main window's session log: the log configuration, which makes the log root and its file
// storage, and the viewer that shows the root live. Built while the window is built, before the
// send workflow exists, so that the workflow's first event is already written and shown.
class TMainLogPanel {
public:
    explicit TMainLogPanel(QWidget* window);
    ~TMainLogPanel();
    TMainLogPanel(const TMainLogPanel&) = delete;
    TMainLogPanel& operator=(const TMainLogPanel&) = delete;

    TZelLogVisualizer* Viewer() const { return ZelLogVisualizer1; }
    // The full name of the file the configured storage writes, read at each call.
    QString CurrentLogFile() const;
    void FullExpand();

private:
    TZelLogVisualizer* ZelLogVisualizer1;
    std::unique_ptr<TLog_config> Log_config1;
};

} // namespace zel
