// The real main window sends a file: the file dialog and the user dialog are answered through
// their widgets, the server is a real pyftpdlib or the scripted one.
#include "app/gui/balloon_hint.h"
#include "log/viewer/log_visualizer.h"
#include "tests/app_gui/server_files.h"
#include "tests/app_gui/window_driver.h"
#include "tests/support/scripted_ftp_server.h"
#include "tests/support/wait_until.h"

#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QRegularExpression>
#include <QSettings>

#include <gtest/gtest.h>

namespace zel::test {
namespace {

constexpr int send_bound_ms = 60000;
const QString email = QStringLiteral("jane.doe@example.com");
const QString file_name = QStringLiteral("support data.bin");

QString stored_email() {
    return QSettings(QStringLiteral("ZEL"), QStringLiteral("ZelRep"))
        .value(QStringLiteral("FtpEmailFolder"))
        .toString();
}

bool has_leftover(const QHash<QString, QByteArray>& files) {
    for (auto at = files.cbegin(); at != files.cend(); ++at)
        if (at.key().endsWith(QStringLiteral(".tmp")) ||
            at.key().endsWith(QStringLiteral(".SENDING")))
            return true;
    return false;
}

class MainWindow : public PyServerWindowTest<> {};

// The window is shown by the test itself, so that its caption can be seen before.
class MainWindowUnshown : public PyServerWindowTest<> {
protected:
    MainWindowUnshown() { show_at_start = false; }
};

TEST_F(MainWindowUnshown, CaptionChangesAtFirstActivationAndTheHintShowsForFiveSeconds) {
    TFMain& window = session->window();
    EXPECT_EQ(window.windowTitle(), "ZEL File Sender");
    EXPECT_EQ(window.size(), QSize(511, 380));
    session->show();
    ASSERT_TRUE(wait_until([&] { return window.windowTitle().startsWith(' '); }));
    EXPECT_EQ(window.windowTitle(), " ZEL send support file 3.0.0.0");

    const auto* hint = window.findChild<TBalloonHint*>(QStringLiteral("BalloonHint1"));
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->Text(), "Click on this button to select your file");
    EXPECT_TRUE(wait_until([&] { return !hint->isVisible(); }, 2 * TFMain::hint_visible_ms));
}

TEST_F(MainWindow, TheLogPanelShowsAndWritesTheSessionLogWithItsStoredColumns) {
    TFMain& window = session->window();

    const QString log_file = window.CurrentLogFile();
    EXPECT_EQ(window.CurrentLogFile(), log_file);
    const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + "/ZEL/ZEL Kettle/1/log/";
    EXPECT_TRUE(log_file.startsWith(folder + "log_file")) << log_file.toStdString();
    EXPECT_TRUE(log_file.endsWith(".log"));
    QFile file(log_file);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList texts = logged_texts(file.readAll());
    EXPECT_TRUE(texts.filter(" Log session start ").size() == 1) << texts.join('|').toStdString();
    // Debug events are kept: the working folder's creation is one.
    EXPECT_EQ(texts.filter("temporary folder created: ").size(), 1);

    const auto* viewer = window.findChild<TZelLogVisualizer*>(QStringLiteral("ZelLogVisualizer1"));
    ASSERT_NE(viewer, nullptr);
    for (int column = 0; column < TZelLogVisualizer::column_count; ++column) {
        const bool shown =
            column == TZelLogVisualizer::colWhen || column == TZelLogVisualizer::colEvent;
        EXPECT_EQ(viewer->isColumnHidden(column), !shown) << column;
    }
    EXPECT_EQ(viewer->columnWidth(TZelLogVisualizer::colWhen), 100);
    EXPECT_EQ(viewer->header()->sortIndicatorSection(), TZelLogVisualizer::colWhen);
    EXPECT_EQ(viewer->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(viewer->ColorMode(), lcmKind);
    EXPECT_TRUE(wait_until([&] { return viewer->model()->rowCount() >= 3; }))
        << viewer->model()->rowCount();
}

class WindowSend : public PyServerWindowTest<::testing::TestWithParam<bool>> {};

TEST_P(WindowSend, PutsFileReportAndOutcomeLogOnTheServer) {
    const bool with_report = GetParam();
    QByteArray content;
    const QString file = session->make_file(file_name, 300 * 1024 + 17, content);
    ASSERT_FALSE(file.isEmpty());

    ASSERT_TRUE(session->send(file, email, QStringLiteral("Mr \"Support\" Smith"), with_report));
    ASSERT_TRUE(
        wait_until([&] { return session->caption() == "transfer completed"; }, send_bound_ms))
        << session->caption().toStdString();

    const QHash<QString, QByteArray> files = files_below(server.root());
    EXPECT_EQ(files.value(email + '/' + file_name), content);
    EXPECT_EQ(files.contains(email + "/report.zelrep"), with_report);
    EXPECT_FALSE(has_leftover(files)) << QStringList(files.keys()).join(", ").toStdString();
    const QString outcome = history_name(email, QStringLiteral(".OK"));
    ASSERT_TRUE(files.contains(outcome))
        << QStringList(files.keys()).join(", ").toStdString() << "\n"
        << session_texts().join("\n").toStdString();
    const QStringList texts = logged_texts(files.value(outcome));
    EXPECT_TRUE(texts.contains("Main file uploaded..."));
    EXPECT_EQ(texts.contains("ZelRep uploaded"), with_report);
    EXPECT_EQ(stored_email(), email);
    const QStringList& captions = session->captions();
    EXPECT_FALSE(captions.filter(QRegularExpression("^[0-9]{1,3}%$")).isEmpty())
        << captions.join('|').toStdString();
    EXPECT_TRUE(captions.contains("Main file uploaded..."));

    const QString shot = with_report ? QStringLiteral("main_window_after_send.png")
                                     : QStringLiteral("main_window_after_send_no_report.png");
    // The panel shows what the bar says, once the viewer's next refresh has run.
    EXPECT_TRUE(wait_until([&] { return session->log_panel_shows("transfer completed"); }));
    EXPECT_FALSE(session->save_screenshot(shot).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Report, WindowSend, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param_info) {
                             return param_info.param ? "On" : "Off";
                         });

// A cancelled file dialog, or a user dialog closed without Ok: nothing is sent or logged.
class WindowCancel : public PyServerWindowTest<::testing::TestWithParam<bool>> {};

TEST_P(WindowCancel, UploadsNothingAndLogsNothingOfTheSend) {
    const bool cancel_file_dialog = GetParam();
    QByteArray content;
    const QString file = session->make_file(file_name, 100, content);
    const QStringList before = session_texts();

    bool user_dialog_shown = false;
    ASSERT_TRUE(session->click_select_file([&](QWidget& modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(&modal)) {
            if (cancel_file_dialog)
                dialog->reject();
            return cancel_file_dialog || pick_file(*dialog, file);
        }
        user_dialog_shown = dynamic_cast<TFUserInfos*>(&modal) != nullptr;
        modal.close(); // the close box
        return user_dialog_shown;
    }));
    EXPECT_EQ(user_dialog_shown, !cancel_file_dialog);
    EXPECT_EQ(session_texts(), before);
    EXPECT_EQ(session->caption(), "");
    EXPECT_TRUE(files_below(server.root()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Dialog, WindowCancel, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param_info) {
                             return param_info.param ? "FileDialog" : "UserDialog";
                         });

TEST(WindowSendScripted, AMisreportedSizeGivesTheErrorOutcomeAndNoFileUnderItsName) {
    ScriptedFtpServer server;
    SenderSession session(server.port());
    ASSERT_TRUE(session.valid());
    QByteArray content;
    const QString file = session.make_file(file_name, 4000, content);
    server.reported_sizes.insert((email + '/' + file_name + ".tmp").toUtf8(), 3999);

    ASSERT_TRUE(session.send(file, email, QString(), true));
    ASSERT_TRUE(
        wait_until([&] { return session.caption() == "transfer completed"; }, send_bound_ms))
        << session.caption().toStdString();

    const QString outcome = history_name(email, QStringLiteral(".ERROR"));
    ASSERT_TRUE(server.files.contains(outcome.toUtf8()))
        << QStringList(server.files.keys().begin(), server.files.keys().end())
               .join(", ")
               .toStdString();
    EXPECT_FALSE(server.files.contains(history_name(email, QStringLiteral(".OK")).toUtf8()));
    EXPECT_FALSE(server.files.contains((email + '/' + file_name).toUtf8()));
    EXPECT_FALSE(server.files.contains((email + '/' + file_name + ".tmp").toUtf8()));
    EXPECT_FALSE(server.files.contains(history_name(email, QStringLiteral(".SENDING")).toUtf8()));
    EXPECT_TRUE(logged_texts(server.files.value(outcome.toUtf8())).contains("ZelRep uploaded"));
}

} // namespace
} // namespace zel::test
