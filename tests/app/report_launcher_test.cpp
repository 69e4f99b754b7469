#include "app/sender/command_line_split.h"
#include "app/sender/report_launcher.h"
#include "tests/app/sender_fixture.h"
#include "tests/support/wait_until.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

namespace zel {
namespace {

using test::texts_of_log_file;

struct SplitCase {
    const char* line;
    QStringList arguments;
};

TEST(CommandLineSplit, FollowsTheWindowsRules) {
    const SplitCase cases[] = {
        {R"(tool -raw_report)", {"tool", "-raw_report"}},
        {R"(  tool   a	b  )", {"tool", "a", "b"}},
        {R"("C:\Program Files\zel\zelrep.exe" x)", {R"(C:\Program Files\zel\zelrep.exe)", "x"}},
        {R"(C:\dir\tool "a b" c)", {R"(C:\dir\tool)", "a b", "c"}},
        {R"(t /comment="Jo "the boss" x")", {"t", "/comment=Jo the", "boss x"}},
        {R"(t /comment="say \"hi\" now")", {"t", R"(/comment=say "hi" now)"}},
        {R"(t a\\b a\b)", {"t", R"(a\\b)", R"(a\b)"}},
        {R"(t "a\\" b)", {"t", R"(a\)", "b"}},
        {R"(t "a\\\"" b)", {"t", R"(a\")", "b"}},
        {R"(t "a""b" c)", {"t", R"(a"b)", "c"}},
        {R"(t "" x)", {"t", "", "x"}},
        {R"(t "unended arg)", {"t", "unended arg"}},
        {"", {}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(split_command_line(QString::fromUtf8(c.line)), c.arguments) << c.line;
}

TEST(CommandLineSplit, QuotedArgumentComesBackWhole) {
    const QString values[] = {
        QStringLiteral("plain"),
        QString(),
        QStringLiteral("with blanks\tand tabs"),
        QStringLiteral(R"(a "quoted" word)"),
        QStringLiteral(R"(ends with a backslash\)"),
        QStringLiteral(R"(ends with two\\)"),
        QStringLiteral(R"(\"backslash then quote\\\")"),
        QStringLiteral(R"(x" /report_path=y /comment="z)"),
        QStringLiteral("Ünïcödé ✓"),
    };
    for (const QString& value : values) {
        const QString line = QStringLiteral("tool /comment=") + quote_argument(value);
        EXPECT_EQ(split_command_line(line),
                  QStringList({QStringLiteral("tool"), QStringLiteral("/comment=") + value}))
            << line.toStdString();
    }
}

class LauncherFixture : public test::SenderFixture {
protected:
    // An executable shell script in the temporary folder.
    QString script(const QString& relative_path, const QByteArray& body) const {
        const QString path = home.filePath(relative_path);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    static QString zelrep() {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/zelrep");
    }
};

TEST_F(LauncherFixture, UnquotedProgramWithBlanksIsFoundByItsPrefixes) {
    const QString program = script(QStringLiteral("my tools/run"), "exit 0");
    QString found;
    QStringList arguments;
    ASSERT_TRUE(resolve_program(program + QStringLiteral(" -a \"b c\""), found, arguments));
    EXPECT_EQ(found, program);
    EXPECT_EQ(arguments, QStringList({QStringLiteral("-a"), QStringLiteral("b c")}));
    EXPECT_FALSE(
        resolve_program(home.filePath(QStringLiteral("nothing here -a")), found, arguments));
}

TEST_F(LauncherFixture, CommentReachesTheToolWholeWhateverItHolds) {
    ASSERT_TRUE(QFileInfo(zelrep()).isFile()) << zelrep().toStdString();
    const QString comments[] = {
        QStringLiteral(R"(Customer email: a@b.c | Contacted person: Jo "the boss" O'Neil)"),
        QStringLiteral(R"(Customer email: x | Contacted person: C:\dir\ \" /report_path=x)"),
        QStringLiteral(R"(Customer email: x | Contacted person: trailing\)"),
    };
    const QString folder = home.filePath(QStringLiteral("working folder with blanks"));
    QDir().mkpath(folder);
    for (const QString& comment : comments) {
        const QString report = folder + QStringLiteral("/report.zelrep");
        QFile::remove(report);
        ASSERT_TRUE(create_raw_report(zelrep(), report, comment));
        const QStringList texts = texts_of_log_file(report);
        EXPECT_TRUE(texts.contains(QStringLiteral("Comment: ") + comment))
            << comment.toStdString() << "\n"
            << texts.join(u'\n').toStdString();
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("x"))); // no report went to "/report_path=x"
    }
}

TEST_F(LauncherFixture, MissingToolStartsNothing) {
    EXPECT_FALSE(create_raw_report(home.filePath(QStringLiteral("zelrep")),
                                   home.filePath(QStringLiteral("report.zelrep")), "c"));
    TProcessInformation information;
    start_process(home.filePath(QStringLiteral("zelrep -raw_report")), 1000, false, information);
    EXPECT_EQ(information.hProcess, nullptr);
    EXPECT_EQ(information.dwProcessId, 0);
    EXPECT_TRUE(wait_for_process(information, 1000));
}

TEST_F(LauncherFixture, WaitKeepsTheEventLoopRunning) {
    // The tool ends only once an event of ours has been handled during the wait.
    const QString flag = home.filePath(QStringLiteral("flag"));
    const QString tool = script(QStringLiteral("waiter"), "while [ ! -e \"" + flag.toUtf8() +
                                                              "\" ]; do sleep 0.05; done; exit 0");
    TProcessInformation information;
    start_process(quote_argument(tool), 10000, false, information);
    ASSERT_NE(information.hProcess, nullptr);
    QTimer::singleShot(0, [&] {
        QFile file(flag);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    });
    EXPECT_TRUE(wait_for_process(information, 60000));
}

TEST_F(LauncherFixture, HungToolIsStoppedAtTheLimitWithAWarning) {
    const QString tool = script(QStringLiteral("hung tool/zelrep"), "exec sleep 600");
    const QString report = home.filePath(QStringLiteral("report.zelrep"));
    EXPECT_FALSE(create_raw_report(tool, report, QStringLiteral("c"), 300));
    EXPECT_TRUE(test::bytes_of(current_log_file()).contains("ZelRep still running after"));
    EXPECT_FALSE(QFileInfo::exists(report));

    TProcessInformation information;
    start_process(quote_argument(tool), 10000, false, information);
    ASSERT_NE(information.hProcess, nullptr);
    EXPECT_FALSE(wait_for_process(information, 100));
    kill_process(information);
    EXPECT_TRUE(wait_for_process(information, 0)); // ended: nothing left to wait for
}

} // namespace
} // namespace zel
