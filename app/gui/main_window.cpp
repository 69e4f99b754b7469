#include "app/gui/main_window.h"

#include "app/gui/user_infos_dialog.h"
#include "app/sender/send_workflow.h"
#include "log/support/module_version.h"
#include "log/viewer/log_visualizer.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

namespace zel {

namespace {

const QString stored_caption = QStringLiteral("ZEL File Sender");
const QString select_file_hint = QStringLiteral("Click on this button to select your file");

} // namespace

TFMain::TFMain(QWidget* parent)
    : QWidget(parent)
    , OpenDialog(new QFileDialog(this))
    , BalloonHint1(new TBalloonHint(this))
    , Panel1(new QWidget(this))
    , BtnSelectFile(new QPushButton(QStringLiteral("Select file"), Panel1))
    , Progress(new TCaptionProgressBar(Panel1))
    , FLogPanel(this) {
    setObjectName(QStringLiteral("FMain"));
    setWindowTitle(stored_caption);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    resize(511, 380);

    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setSizeGripEnabled(true);

    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(33);
    BtnSelectFile->setObjectName(QStringLiteral("BtnSelectFile"));
    BtnSelectFile->setFixedSize(85, 27);
    BtnSelectFile->setToolTip(select_file_hint);
    Progress->setObjectName(QStringLiteral("Progress"));
    auto* top = new QHBoxLayout(Panel1);
    top->setContentsMargins(0, 3, 0, 3);
    top->setSpacing(0);
    top->addWidget(BtnSelectFile);
    top->addWidget(Progress, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(FLogPanel.Viewer(), 1);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    connect(BtnSelectFile, &QPushButton::clicked, this, &TFMain::BtnSelectFileClick);
    FormCreate();
}

TFMain::~TFMain() = default; // the workflow goes first: FormDestroy

TSettings& TFMain::Settings() {
    return FWorkflow->Settings();
}

void TFMain::FormCreate() {
    TSendWorkflowView view;
    view.AskUserInfos = [this](TSettings& /*settings*/) { return AskUserInfos(); };
    view.CurrentLogFile = [this] { return CurrentLogFile(); };
    view.ShowProgress = [this](int position, const QString& caption) {
        Progress->setValue(position);
        Progress->SetCaptionText(caption);
    };
    FWorkflow = std::make_unique<TSendWorkflow>(std::move(view));
}

bool TFMain::event(QEvent* e) {
    // The program's only window: the application is active when this window is.
    if (e->type() == QEvent::WindowActivate && FAppEventsHooked)
        AppEventsActivate();
    return QWidget::event(e);
}

void TFMain::AppEventsActivate() {
    FAppEventsHooked = false;
    get_file_version(QString(), FFileVersion);
    setWindowTitle(QStringLiteral(" ZEL send support file %1").arg(FFileVersion));
    FLogPanel.FullExpand();
    BalloonHint1->ShowHint(*BtnSelectFile, select_file_hint, hint_visible_ms);
}

void TFMain::BtnSelectFileClick() {
    OpenDialog->selectFile(QString());
    if (OpenDialog->exec() != QDialog::Accepted)
        return;
    const QStringList chosen = OpenDialog->selectedFiles();
    if (chosen.isEmpty())
        return;
    FWorkflow->SendFile(chosen.first());
}

bool TFMain::AskUserInfos() {
    return FUserInfos != nullptr && FUserInfos->exec() == QDialog::Accepted;
}

} // namespace zel
