// The window of a program without the report tool beside it: this test program is built in a
// folder of its own, where no zelrep lies.
#include "tests/app_gui/server_files.h"
#include "tests/app_gui/window_driver.h"
#include "tests/support/wait_until.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace zel::test {
namespace {

class WindowSendWithoutReportTool : public PyServerWindowTest<> {};

TEST_F(WindowSendWithoutReportTool, WarnsStopsAndLeavesTheSendingLog) {
    ASSERT_FALSE(QFileInfo::exists(QCoreApplication::applicationDirPath() + "/zelrep"));
    QByteArray content;
    const QString file = session->make_file(QStringLiteral("trace.txt"), 5000, content);
    const QString email = QStringLiteral("no.tool@example.com");

    ASSERT_TRUE(session->send(file, email, QString(), true));
    const QString warning =
        QStringLiteral("Cannot create ZelRep report as the EXE is not existing");
    ASSERT_TRUE(wait_until([&] { return session_texts().contains(warning); }, 60000));
    // The history upload ran beside the main one; its end starts nothing on a first send.
    const QString sending = history_name(email, QStringLiteral(".SENDING"));
    ASSERT_TRUE(wait_until([&] { return files_below(server.root()).contains(sending); }));

    const QHash<QString, QByteArray> files = files_below(server.root());
    EXPECT_EQ(files.value(email + "/trace.txt"), content);
    EXPECT_FALSE(files.contains(history_name(email, QStringLiteral(".OK"))));
    EXPECT_FALSE(files.contains(history_name(email, QStringLiteral(".ERROR"))));
    EXPECT_FALSE(files.contains(email + "/report.zelrep"));
    EXPECT_EQ(session->caption(), "Main file uploaded...");
}

} // namespace
} // namespace zel::test
