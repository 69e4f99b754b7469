#include "app/sender/send_workflow.h"
#include "platform/file_copy.h"
#include "tests/app/sender_fixture.h"
#include "tests/support/pattern_bytes.h"
#include "tests/support/py_ftp_server.h"
#include "tests/support/scripted_ftp_server.h"
#include "tests/support/wait_until.h"

#include <QDate>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <vector>

namespace zel {
namespace {

using test::bytes_of;
using test::deployment_for;
using test::files_below;
using test::PyFtpServer;
using test::ScriptedFtpServer;
using test::texts_of_log_file;
using test::wait_until;

const QString email = QStringLiteral("jane.doe@example.com");

QString dated(const QString& extension) {
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('_') + email +
           extension;
}

// A workflow whose view records what it is told and answers the user dialog from `answers`.
class WorkflowFixture : public test::SenderFixture {
protected:
    void make_workflow(quint16 port, const QString& password) {
        TSendWorkflowView view;
        view.AskUserInfos = [this](TSettings& settings) {
            ++questions;
            if (!confirm)
                return false;
            settings.FEmail = email;
            settings.FZelContact = QStringLiteral("Max \"the\" Support /report_path=x");
            settings.FFtpSendLogFiles = send_report;
            return true;
        };
        view.CurrentLogFile = [this] { return current_log_file(); };
        view.ShowProgress = [this](int position, const QString& caption) {
            captions.push_back(caption);
            EXPECT_GE(position, 0);
            EXPECT_LE(position, 100);
        };
        view.StageChanged = [this](TSendStage stage) {
            stages.push_back(stage);
            if (on_stage)
                on_stage(stage);
        };
        view.SendFinished = [this](const TSendOutcome& result) { outcomes.push_back(result); };
        workflow = std::make_unique<TSendWorkflow>(view, deployment_for(port, password));
    }

    bool wait_for_end() {
        return wait_until(
            [this] {
                return !stages.empty() &&
                       (stages.back() == TSendStage::Done || stages.back() == TSendStage::Stopped);
            },
            60000);
    }

    void TearDown() override {
        workflow.reset();
        SenderFixture::TearDown();
    }

    std::unique_ptr<TSendWorkflow> workflow;
    bool confirm = true;
    bool send_report = true;
    int questions = 0;
    std::vector<QString> captions;
    std::vector<TSendStage> stages;
    std::vector<TSendOutcome> outcomes;
    std::function<void(TSendStage)> on_stage;
};

class WorkflowOnRealServer : public WorkflowFixture {
protected:
    void SetUp() override {
        WorkflowFixture::SetUp();
        ASSERT_TRUE(server.is_running()) << server.error().toStdString();
        make_workflow(server.port(), QString::fromLatin1(PyFtpServer::password));
    }

    QString on_server(const QString& path) const { return server.root() + QLatin1Char('/') + path; }

    PyFtpServer server;
};

TEST_F(WorkflowOnRealServer, SendsFileReportAndOutcomeMarkerAndLeavesNothingTemporary) {
    EXPECT_TRUE(QFileInfo(workflow->ReportToolPath()).isFile())
        << "zelrep beside the running program: " << workflow->ReportToolPath().toStdString();
    const QByteArray content = test::pattern_bytes(3 * 1024 * 1024 + 17);
    ASSERT_TRUE(workflow->SendFile(user_file(content, QStringLiteral("crash dump.bin"))));
    ASSERT_TRUE(wait_for_end());

    ASSERT_EQ(stages.back(), TSendStage::Done);
    EXPECT_EQ(bytes_of(on_server(email + QStringLiteral("/crash dump.bin"))), content);
    EXPECT_TRUE(QFileInfo(on_server(email + QStringLiteral("/report.zelrep"))).size() > 0);
    EXPECT_EQ(files_below(server.root()),
              QStringList({dated(QStringLiteral(".OK")), email + QStringLiteral("/crash dump.bin"),
                           email + QStringLiteral("/report.zelrep")}));

    const QStringList marker = texts_of_log_file(on_server(dated(QStringLiteral(".OK"))));
    EXPECT_TRUE(marker.contains(QStringLiteral("Main file uploaded...")));
    EXPECT_TRUE(marker.contains(QStringLiteral("ZelRep uploaded")));
    // The copy is taken when the final stage starts: its own end is not in it.
    EXPECT_FALSE(marker.contains(QStringLiteral("final log uploaded")));

    ASSERT_EQ(outcomes.size(), 1U);
    EXPECT_TRUE(outcomes[0].MainFileFullyUploaded);
    EXPECT_TRUE(outcomes[0].FinalLogUploaded);
    EXPECT_EQ(outcomes[0].OutcomePath, QLatin1Char('/') + dated(QStringLiteral(".OK")));
    EXPECT_EQ(outcomes[0].MainFilePath, email + QStringLiteral("/crash dump.bin"));
    EXPECT_EQ(outcomes[0].ReportPath, email + QStringLiteral("/report.zelrep"));
    EXPECT_EQ(workflow->ProgressCaption(), QStringLiteral("transfer completed"));
    EXPECT_NE(std::find(captions.begin(), captions.end(), QStringLiteral("100%")), captions.end());
    EXPECT_EQ(stages, (std::vector<TSendStage>{TSendStage::Asking, TSendStage::Sending,
                                               TSendStage::Reporting, TSendStage::Closing,
                                               TSendStage::Done}));
    // The report the tool wrote carries the comment whole, quotes and all.
    const QStringList report =
        texts_of_log_file(on_server(email + QStringLiteral("/report.zelrep")));
    EXPECT_TRUE(report.contains(QStringLiteral("Comment: Customer email: ") + email +
                                QStringLiteral(" | Contacted person: Max \"the\" Support "
                                               "/report_path=x")))
        << report.join(u'\n').toStdString();
    // No local copy is left, and the password is in no log.
    int folder_error = 0;
    const QString copies =
        QFile::decodeName(platform::process_private_folder(folder_error).c_str());
    ASSERT_FALSE(copies.isEmpty()) << "no private folder: error " << folder_error;
    EXPECT_FALSE(QFileInfo::exists(copies + QStringLiteral("/FTP_main_file.tmp")));
    EXPECT_FALSE(QFileInfo::exists(copies + QStringLiteral("/FTP_log_file.tmp")));
    EXPECT_FALSE(bytes_of(current_log_file()).contains(PyFtpServer::password));
    EXPECT_FALSE(bytes_of(on_server(dated(QStringLiteral(".OK")))).contains(PyFtpServer::password));
}

TEST_F(WorkflowOnRealServer, WithoutReportSkipsTheReportStage) {
    send_report = false;
    ASSERT_TRUE(workflow->SendFile(user_file("small", QStringLiteral("notes.txt"))));
    ASSERT_TRUE(wait_for_end());

    ASSERT_EQ(stages.back(), TSendStage::Done);
    EXPECT_EQ(files_below(server.root()),
              QStringList({dated(QStringLiteral(".OK")), email + QStringLiteral("/notes.txt")}));
    const QStringList marker = texts_of_log_file(on_server(dated(QStringLiteral(".OK"))));
    EXPECT_TRUE(marker.contains(QStringLiteral("Main file uploaded...")));
    EXPECT_FALSE(marker.contains(QStringLiteral("ZelRep uploaded")));
    ASSERT_EQ(outcomes.size(), 1U);
    EXPECT_TRUE(outcomes[0].ReportPath.isEmpty());
}

TEST_F(WorkflowOnRealServer, MissingToolEndsTheSendAndTheSendingLogStays) {
    workflow->SetReportToolPath(home.filePath(QStringLiteral("no such folder/zelrep")));
    ASSERT_TRUE(workflow->SendFile(user_file("payload", QStringLiteral("notes.txt"))));
    ASSERT_TRUE(wait_for_end());

    EXPECT_EQ(stages.back(), TSendStage::Stopped);
    EXPECT_TRUE(outcomes.empty());
    EXPECT_TRUE(bytes_of(current_log_file())
                    .contains("Cannot create ZelRep report as the EXE is not existing"));
    // The history upload runs beside the main one; it ends on its own.
    EXPECT_TRUE(wait_until(
        [&] {
            return files_below(server.root()) ==
                   QStringList(
                       {dated(QStringLiteral(".SENDING")), email + QStringLiteral("/notes.txt")});
        },
        60000))
        << files_below(server.root()).join(u' ').toStdString();
}

TEST_F(WorkflowOnRealServer, CancelledDialogSendsNothing) {
    confirm = false;
    EXPECT_FALSE(workflow->SendFile(user_file("payload", QStringLiteral("notes.txt"))));
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(stages, (std::vector<TSendStage>{TSendStage::Asking, TSendStage::Idle}));
    EXPECT_FALSE(bytes_of(current_log_file()).contains("FTP History log file"));
    EXPECT_TRUE(files_below(server.root()).isEmpty());
}

TEST_F(WorkflowOnRealServer, SecondSendEndsOnlyWhenItsOwnFinalLogIsUp) {
    send_report = false;
    ASSERT_TRUE(workflow->SendFile(user_file("first", QStringLiteral("first.txt"))));
    ASSERT_TRUE(wait_for_end());
    stages.clear();

    ASSERT_TRUE(workflow->SendFile(user_file(test::pattern_bytes(1024 * 1024), "second.bin")));
    ASSERT_TRUE(wait_for_end());
    // The end of the second history upload is not taken for the end of the send.
    EXPECT_EQ(stages, (std::vector<TSendStage>{TSendStage::Asking, TSendStage::Sending,
                                               TSendStage::Closing, TSendStage::Done}));
    EXPECT_EQ(outcomes.size(), 2U);
    EXPECT_EQ(files_below(server.root()),
              QStringList({dated(QStringLiteral(".OK")), email + QStringLiteral("/first.txt"),
                           email + QStringLiteral("/second.bin")}));
}

// The scripted server reports a wrong size for the main file only: the chosen name never
// appears, and the outcome marker is ".ERROR".
class WorkflowOnScriptedServer : public WorkflowFixture {};

TEST_F(WorkflowOnScriptedServer, MisreportedSizeGivesErrorMarkerAndNoFileUnderItsName) {
    ScriptedFtpServer server;
    server.replies["SIZE"] = "213 1";
    on_stage = [&](TSendStage stage) {
        if (stage == TSendStage::Closing)
            server.replies.remove("SIZE");
    };
    make_workflow(server.port(), QStringLiteral("any"));
    send_report = false;
    ASSERT_TRUE(workflow->SendFile(user_file("twelve bytes", QStringLiteral("notes.txt"))));
    ASSERT_TRUE(wait_for_end());

    ASSERT_EQ(stages.back(), TSendStage::Done);
    ASSERT_EQ(outcomes.size(), 1U);
    EXPECT_FALSE(outcomes[0].MainFileFullyUploaded);
    EXPECT_EQ(outcomes[0].OutcomeExtension, QStringLiteral(".ERROR"));
    EXPECT_TRUE(server.files.contains(dated(QStringLiteral(".ERROR")).toUtf8()));
    EXPECT_FALSE(server.files.contains((email + QStringLiteral("/notes.txt")).toUtf8()));
    EXPECT_FALSE(server.files.contains((email + QStringLiteral("/notes.txt.tmp")).toUtf8()));
    const QStringList marker = texts_of_log_file(current_log_file());
    EXPECT_TRUE(marker.contains(QStringLiteral("transfer completed")));
}

} // namespace
} // namespace zel
