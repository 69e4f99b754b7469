#include "tests/app_gui/window_driver.h"

#include "app/gui/caption_progress_bar.h"
#include "app/sender/deployment.h"
#include "log/diagnostics/log_diagnostics.h"
#include "log/persistence/log_persistence.h"
#include "log/viewer/log_visualizer.h"
#include "tests/support/pattern_bytes.h"
#include "tests/support/py_ftp_server.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace zel::test {

namespace {

constexpr int poll_ms = 20;
const QString deployment_key = QStringLiteral("K3y-0f-12chr");

void restore(const char* variable, const QByteArray& value) {
    if (value.isNull())
        qunsetenv(variable);
    else
        qputenv(variable, value);
}

bool write_deployment(const QString& path, quint16 port) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray enciphered =
        encipher_password(QByteArray(PyFtpServer::password), deployment_key);
    file.write("[server]\nhost=127.0.0.1\nport=" + QByteArray::number(port) +
               "\npassword=" + enciphered.toHex() + "\nkey=" + deployment_key.toLatin1() + "\n");
    return file.error() == QFileDevice::NoError;
}

// Types `text` into an edit box in place of what it holds.
void type_over(QLineEdit& edit, const QString& text) {
    edit.setFocus();
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClicks(&edit, text);
}

} // namespace

bool pick_file(QFileDialog& dialog, const QString& file) {
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (name == nullptr)
        return false;
    type_over(*name, file);
    QTest::keyClick(name, Qt::Key_Return);
    return true;
}

ModalAnswer::ModalAnswer(std::function<bool(QWidget& modal)> answer, int timeout_ms)
    : remaining_ms_(timeout_ms) {
    poll_.setInterval(poll_ms);
    QObject::connect(&poll_, &QTimer::timeout, [this, answer = std::move(answer)] {
        remaining_ms_ -= poll_ms;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->isVisible() && answer(*modal)) {
            answered_ = true;
            poll_.stop();
        } else if (remaining_ms_ <= 0)
            poll_.stop();
    });
    poll_.start();
}

bool fill_user_infos(QWidget& dialog, const QString& email, const QString& contact,
                     bool allow_report) {
    auto* edit_email = dialog.findChild<QLineEdit*>(QStringLiteral("Edit_Email"));
    auto* contact_edit = dialog.findChild<QLineEdit*>(QStringLiteral("EdZelContact"));
    auto* allow_log = dialog.findChild<QCheckBox*>(QStringLiteral("CheckBox_AllowLog"));
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("BtnOk"));
    if (edit_email == nullptr || contact_edit == nullptr || allow_log == nullptr || ok == nullptr)
        return false;
    type_over(*edit_email, email);
    type_over(*contact_edit, contact);
    if (allow_log->isChecked() != allow_report)
        QTest::mouseClick(allow_log, Qt::LeftButton, {}, QPoint(5, allow_log->height() / 2));
    QTest::mouseClick(ok, Qt::LeftButton);
    return true;
}

SenderSession::SenderSession(quint16 port, bool show_window)
    : saved_data_home_(qgetenv("XDG_DATA_HOME"))
    , saved_deployment_(qgetenv("ZEL_DEPLOYMENT")) {
    if (!folder_.isValid())
        return;
    qputenv("XDG_DATA_HOME", folder_.filePath(QStringLiteral("data")).toLocal8Bit());
    const QString deployment = folder_.filePath(QStringLiteral("deployment.ini"));
    if (!write_deployment(deployment, port)) {
        folder_.remove();
        return;
    }
    qputenv("ZEL_DEPLOYMENT", deployment.toLocal8Bit());
    install_log_persistence();
    install_log_diagnostics();
    window_ = std::make_unique<TFMain>();
    dialog_ = std::make_unique<TFUserInfos>(window_->Settings(), window_.get());
    window_->SetUserInfos(dialog_.get());
    if (auto* progress = window_->findChild<TCaptionProgressBar*>(QStringLiteral("Progress")))
        QObject::connect(progress, &TCaptionProgressBar::CaptionTextChanged,
                         [this](const QString& text) { captions_ << text; });
    if (show_window)
        show();
}

void SenderSession::show() {
    window_->show();
    window_->activateWindow();
}

SenderSession::~SenderSession() {
    dialog_.reset();
    window_.reset();
    unit_.shutdown();
    restore("XDG_DATA_HOME", saved_data_home_);
    restore("ZEL_DEPLOYMENT", saved_deployment_);
}

QString SenderSession::make_file(const QString& name, qsizetype size, QByteArray& content) const {
    QString path = folder_.filePath(name);
    content = pattern_bytes(size);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        return {};
    return path;
}

bool SenderSession::send(const QString& file, const QString& email, const QString& contact,
                         bool allow_report) {
    bool user_infos_answered = false;
    const bool file_answered = click_select_file([&](QWidget& modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(&modal))
            return pick_file(*dialog, file);
        user_infos_answered = dynamic_cast<TFUserInfos*>(&modal) != nullptr &&
                              fill_user_infos(modal, email, contact, allow_report);
        return user_infos_answered;
    });
    return file_answered && user_infos_answered;
}

bool SenderSession::click_select_file(const std::function<bool(QWidget& modal)>& answer) {
    bool file_answered = false;
    const ModalAnswer answering([&](QWidget& modal) {
        if (!answer(modal))
            return false;
        file_answered = file_answered || qobject_cast<QFileDialog*>(&modal) != nullptr;
        return qobject_cast<QFileDialog*>(&modal) == nullptr; // then wait for the user dialog
    });
    auto* button = window_->findChild<QPushButton*>(QStringLiteral("BtnSelectFile"));
    if (button == nullptr)
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return file_answered;
}

QString SenderSession::caption() const {
    const auto* progress = window_->findChild<TCaptionProgressBar*>(QStringLiteral("Progress"));
    return progress != nullptr ? progress->CaptionText() : QString();
}

bool SenderSession::log_panel_shows(const QString& text) const {
    const auto* viewer =
        window_->findChild<TZelLogVisualizer*>(QStringLiteral("ZelLogVisualizer1"));
    if (viewer == nullptr || viewer->model() == nullptr)
        return false;
    const QAbstractItemModel& rows = *viewer->model();
    for (int row = 0; row < rows.rowCount(); ++row)
        if (rows.index(row, TZelLogVisualizer::colEvent).data().toString() == text)
            return true;
    return false;
}

QString SenderSession::save_screenshot(const QString& name) {
    const QString path = QDir(QStringLiteral(ZEL_TEST_OUTPUT_DIR)).filePath(name);
    return window_->grab().save(path) ? path : QString();
}

} // namespace zel::test
