#pragma once

#include "app/gui/balloon_hint.h"
#include "app/gui/caption_progress_bar.h"
#include "app/gui/main_log_panel.h"

#include <QFileDialog>
#include <QPushButton>
#include <QWidget>

#include <memory>

namespace zel {

class TFUserInfos;
class TSendWorkflow;
struct TSettings;

// The main window: a "Select file" button, a progress bar with a caption, and the session log
// below them. A thin view over TSendWorkflow, which holds the send; the window supplies it with
// the user dialog, the log file's name and the progress display.
class TFMain : public QWidget {
    Q_OBJECT

public:
    static constexpr int hint_visible_ms = 5000;

    explicit TFMain(QWidget* parent = nullptr);
    ~TFMain() override;
    TFMain(const TFMain&) = delete;
    TFMain& operator=(const TFMain&) = delete;

    TSettings& Settings();
    // The dialog shown modally before each send; created after the window, owned by the caller.
    void SetUserInfos(TFUserInfos* dialog) { FUserInfos = dialog; }
    QString CurrentLogFile() const { return FLogPanel.CurrentLogFile(); }

protected:
    bool event(QEvent* e) override;

private:
    void FormCreate();
    void AppEventsActivate();
    void BtnSelectFileClick();
    bool AskUserInfos();

    QFileDialog* OpenDialog;
    TBalloonHint* BalloonHint1;
    QWidget* Panel1;
    QPushButton* BtnSelectFile;
    TCaptionProgressBar* Progress;
    TMainLogPanel FLogPanel;
    bool FAppEventsHooked = true; // until the first activation
    QString FFileVersion;
    std::unique_ptr<TSendWorkflow> FWorkflow;
    TFUserInfos* FUserInfos = nullptr;
};

} // namespace zel
