#pragma once

#include "app/gui/main_window.h"
#include "app/gui/user_infos_dialog.h"
#include "log/core/log_unit.h"
#include "tests/support/py_ftp_server.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

class QFileDialog;

namespace zel::test {

// Runs `answer` on the modal dialog of type TDialog as soon as it is the active modal widget,
// from the event loop of its exec(); gives up after `timeout_ms`.
class ModalAnswer {
public:
    ModalAnswer(std::function<bool(QWidget& modal)> answer, int timeout_ms = 20000);
    bool answered() const { return answered_; }

private:
    QTimer poll_;
    int remaining_ms_;
    bool answered_ = false;
};

// The real program's window and user dialog, in a session of their own: a log unit, the
// known folders and the deployment file below a temporary folder, the server given by port.
class SenderSession {
public:
    // The window is shown at once unless `show_window` is false (then show() shows it).
    explicit SenderSession(quint16 port, bool show_window = true);
    ~SenderSession();
    SenderSession(const SenderSession&) = delete;
    SenderSession& operator=(const SenderSession&) = delete;

    bool valid() const { return folder_.isValid(); }
    TFMain& window() { return *window_; }
    void show();
    // A file of `size` pattern bytes below the session's folder.
    QString make_file(const QString& name, qsizetype size, QByteArray& content) const;
    // Clicks "Select file", picks `file` in the file dialog and answers the user dialog; true
    // when both dialogs were answered.
    bool send(const QString& file, const QString& email, const QString& contact, bool allow_report);
    // Clicks "Select file" and hands each dialog that shows up to `answer` (a cancel, or a pick)
    // until one that is not the file dialog was answered; true when the file dialog was.
    bool click_select_file(const std::function<bool(QWidget& modal)>& answer);
    QString caption() const;
    // Whether the log panel shows a top-level row whose event text is `text`.
    bool log_panel_shows(const QString& text) const;
    // Every caption the progress bar has shown, in order.
    const QStringList& captions() const { return captions_; }
    // Saves a grab of the window under the build folder; the path, or empty on failure.
    QString save_screenshot(const QString& name);

private:
    QTemporaryDir folder_;
    QByteArray saved_data_home_;
    QByteArray saved_deployment_;
    TLogUnit unit_;
    std::unique_ptr<TFMain> window_;
    std::unique_ptr<TFUserInfos> dialog_;
    QStringList captions_;
};

// A window session against a pyftpdlib server of its own, set up before the test's body.
template <class TBase = ::testing::Test>
class PyServerWindowTest : public TBase {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.is_running()) << server.error().toStdString();
        session = std::make_unique<SenderSession>(server.port(), show_at_start);
        ASSERT_TRUE(session->valid());
    }
    void TearDown() override { session.reset(); }

    bool show_at_start = true;
    PyFtpServer server;
    std::unique_ptr<SenderSession> session;
};

// Types `file` into the file dialog's name box and confirms it.
bool pick_file(QFileDialog& dialog, const QString& file);

// Answers the user dialog: the address typed over what is shown, the contact typed, the report
// box set, then a click on Ok.
bool fill_user_infos(QWidget& dialog, const QString& email, const QString& contact,
                     bool allow_report);

} // namespace zel::test
