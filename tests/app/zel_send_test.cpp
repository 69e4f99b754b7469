#include "app/sender/deployment.h"
#include "tests/app/sender_fixture.h"
#include "tests/support/py_ftp_server.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zel {
namespace {

using test::files_below;
using test::PyFtpServer;

struct SendRun {
    bool finished = false;
    int exit_code = -1;
    QString out;
    QString err;
};

// zel-send run as a user would, with its own folders and a deployment file for `port`.
class ZelSendFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home.isValid()); }

    SendRun run(const QStringList& arguments, quint16 port,
                const QString& program = QStringLiteral(ZEL_SEND_PROGRAM)) {
        const QString deployment = home.filePath(QStringLiteral("deployment.ini"));
        QFile file(deployment);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(
            "[server]\nhost=127.0.0.1\nport=" + QByteArray::number(port) + "\npassword=" +
            encipher_password(PyFtpServer::password, QString::fromLatin1(test::deployment_key))
                .toHex() +
            "\nkey=" + test::deployment_key + "\n");
        file.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            environment.insert(QString::fromLatin1(variable),
                               home.filePath(QString::fromLatin1(variable)));
        environment.insert(QStringLiteral("ZEL_DEPLOYMENT"), deployment);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(home.path());
        process.start(program, arguments);
        SendRun result;
        // A generous bound: each failing case asks for a time-out of a few seconds.
        result.finished = process.waitForStarted() && process.waitForFinished(120000);
        result.exit_code = process.exitCode();
        result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        result.err = QString::fromLocal8Bit(process.readAllStandardError());
        return result;
    }

    QString user_file(const QByteArray& bytes) const {
        const QString path = home.filePath(QStringLiteral("support file.bin"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir home;
};

TEST_F(ZelSendFixture, SendsToARealServerAndNamesTheOutcome) {
    PyFtpServer server;
    ASSERT_TRUE(server.is_running()) << server.error().toStdString();
    const QString email = QStringLiteral("sam@example.org");
    const QByteArray content(200000, 'z');
    const SendRun result = run({QStringLiteral("--email"), email, QStringLiteral("--contact"),
                                QStringLiteral("Kim"), user_file(content)},
                               server.port());
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exit_code, 0) << result.out.toStdString() << result.err.toStdString();
    const QString marker =
        QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('_') + email;
    EXPECT_TRUE(result.out.contains(
        QStringLiteral("outcome .OK: /") + marker + QStringLiteral(".OK; file ") + email +
        QStringLiteral("/support file.bin; report ") + email + QStringLiteral("/report.zelrep")))
        << result.out.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("progress: transfer completed")));
    EXPECT_EQ(files_below(server.root()),
              QStringList({marker + QStringLiteral(".OK"), email + QStringLiteral("/report.zelrep"),
                           email + QStringLiteral("/support file.bin")}));
    EXPECT_EQ(test::bytes_of(server.root() + QLatin1Char('/') + email +
                             QStringLiteral("/support file.bin")),
              content);
}

TEST_F(ZelSendFixture, StopsWithTheReasonWhenNoReportToolLiesBesideIt) {
    PyFtpServer server;
    ASSERT_TRUE(server.is_running()) << server.error().toStdString();
    const QString alone = home.filePath(QStringLiteral("alone/zel-send"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(alone).absolutePath()));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZEL_SEND_PROGRAM), alone));
    const SendRun result =
        run({QStringLiteral("--email"), QStringLiteral("a@b.c"), user_file("data")}, server.port(),
            alone);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_TRUE(result.out.contains(
        QStringLiteral("the send stopped before its outcome marker: \"Cannot create ZelRep report "
                       "as the EXE is not existing\"")))
        << result.out.toStdString();
}

TEST_F(ZelSendFixture, GivesUpWhenTheServerCannotBeReachedOrDoesNotAnswer) {
    // A port nobody listens on, and a server that accepts the connection and stays silent.
    quint16 closed_port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closed_port = probe.serverPort();
    }
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    for (const quint16 port : {closed_port, silent.serverPort()}) {
        const SendRun result =
            run({QStringLiteral("--email"), QStringLiteral("a@b.c"), QStringLiteral("--no-report"),
                 QStringLiteral("--timeout"), QStringLiteral("2"), user_file("data")},
                port);
        ASSERT_TRUE(result.finished) << port;
        EXPECT_EQ(result.exit_code, 3) << result.out.toStdString();
        EXPECT_TRUE(result.out.contains(QStringLiteral("nothing moved for 2 s")))
            << result.out.toStdString();
        EXPECT_TRUE(result.out.contains(QStringLiteral("last error: \"")))
            << result.out.toStdString();
    }
}

TEST_F(ZelSendFixture, RefusesMissingArgumentsAtOnce) {
    const QString file = user_file("data");
    const struct {
        QStringList arguments;
        const char* error;
    } cases[] = {
        {{file}, "--email ADDRESS is missing"},
        {{QStringLiteral("--email"), QStringLiteral("a@b.c")}, "the FILE to send is missing"},
        {{QStringLiteral("--email"), QStringLiteral("a@b.c"),
          home.filePath(QStringLiteral("gone"))},
         "no such file"},
        {{QStringLiteral("--email"), QStringLiteral("a@b.c"), QStringLiteral("--timeout"),
          QStringLiteral("soon"), file},
         "--timeout needs a positive number"},
        {{QStringLiteral("--email")}, "--email needs a value"},
    };
    for (const auto& c : cases) {
        const SendRun result = run(c.arguments, 1);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exit_code, 2);
        EXPECT_TRUE(result.err.contains(QString::fromLatin1(c.error))) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral("usage: zel-send")));
        EXPECT_TRUE(result.out.isEmpty());
    }
    const SendRun help = run({QStringLiteral("--help")}, 1);
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: zel-send")));
}

} // namespace
} // namespace zel
