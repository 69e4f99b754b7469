// What the viewer program opens and says, and when it asks for a reload, with the loader the
// viewer uses (a GK_READER group of a root per path) and no widget.
#include "tests/log_core/qt_print.h"
#include "tests/log_viewer_app/writing_session.h"
#include "tests/support/wait_until.h"
#include "tools/zel-log-viewer/log_viewer_document.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace zel::testing {
namespace {

struct said {
    QString text;
    bool error;
};

class DocumentTest : public ::testing::Test {
public:
    QString path(const QString& name) const { return dir.filePath(name); }

    void write_file(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        install_log_persistence();
        reader->set_header({});
        reader->set_footer({});
        reader->set_discard({});
        QObject::connect(&document, &TLogViewerDocument::message,
                         [this](const QString& text, bool error) {
                             messages.push_back({text, error});
                         });
        QObject::connect(&document, &TLogViewerDocument::reload_requested, [this] { ++reloads; });
    }
    void TearDown() override { reader->clear_all(); }

    QTemporaryDir dir;
    std::shared_ptr<TLogRoot> reader = TLogRoot::Create();
    std::vector<QString> loaded;
    std::function<void(const QString&)> during_load;
    TLogViewerDocument document{[this](const QString& file) {
        loaded.push_back(file);
        if (during_load)
            during_load(file);
        ILogGroupPtr group;
        reader->add_seeded_group(group, GK_READER);
        return group->LoadFromFile(file);
    }};
    std::vector<said> messages;
    int reloads = 0;
};

struct open_case {
    const char* name;
    // Makes the thing to open in the test's folder and returns its name there.
    std::function<QString(DocumentTest&)> make;
    const char* says;
    bool error;
    bool kept;
};

void PrintTo(const open_case& c, std::ostream* out) {
    *out << c.name;
}

class OpenTest : public DocumentTest, public ::testing::WithParamInterface<open_case> {};

TEST_P(OpenTest, SaysWhatWasFoundAndKeepsWhatCanBeReadAgain) {
    const open_case& c = GetParam();
    const QString file = path(c.make(*this));
    document.open({file});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QLatin1String(c.says))) << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.contains(file)) << messages[0].text.toStdString();
    EXPECT_EQ(messages[0].error, c.error);
    EXPECT_EQ(document.paths().contains(file), c.kept);
}

QString a_log(DocumentTest& test) {
    TWritingSession session(test.path("session.20240131.120000.000.log"));
    session.root->add(LK_INFO, QStringLiteral("connected"));
    return QStringLiteral("session.20240131.120000.000.log");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, OpenTest,
    ::testing::Values(
        open_case{"log_file", a_log, "Opened", false, true},
        open_case{"missing", [](DocumentTest&) { return QStringLiteral("nothing.log"); },
                  "does not exist", true, false},
        open_case{"text_file",
                  [](DocumentTest& test) {
                      test.write_file("notes.txt", "shopping list\nmilk\teggs\n");
                      return QStringLiteral("notes.txt");
                  },
                  "is not a log file", true, true},
        open_case{"binary_file",
                  [](DocumentTest& test) {
                      QByteArray bytes;
                      for (int i = 0; i < 4096; ++i)
                          bytes.append(static_cast<char>(i * 7 % 256));
                      test.write_file("picture.png", bytes);
                      return QStringLiteral("picture.png");
                  },
                  "is not a log file", true, true},
        open_case{"empty_folder",
                  [](DocumentTest& test) {
                      QDir(test.path({})).mkdir(QStringLiteral("empty"));
                      return QStringLiteral("empty");
                  },
                  "No log could be read in folder", true, true},
        open_case{"folder_of_logs",
                  [](DocumentTest& test) {
                      QDir(test.path({})).mkdir(QStringLiteral("logs"));
                      TWritingSession session(test.path("logs/a.20240131.120000.000.log"));
                      session.root->add(LK_INFO, QStringLiteral("connected"));
                      return QStringLiteral("logs");
                  },
                  "Opened", false, true},
        open_case{"crash_list_of_missing_logs",
                  [](DocumentTest& test) {
                      test.write_file("zel.crashlist",
                                      "sender:42=" + test.path("gone.log").toUtf8() + "\r\n");
                      return QStringLiteral("zel.crashlist");
                  },
                  "No log named in crash list", true, true}),
    [](const ::testing::TestParamInfo<open_case>& param) { return std::string(param.param.name); });

TEST_F(DocumentTest, UnreadableFileIsNamedWithTheReasonAndNotLoaded) {
    write_file("secret.log", "x");
    QFile::setPermissions(path("secret.log"), QFileDevice::WriteOwner);
    QFile probe(path("secret.log"));
    if (probe.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "this user reads files whatever their permissions";
    document.open({path("secret.log")});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QLatin1String("cannot be read")))
        << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].error);
    EXPECT_TRUE(loaded.empty());
}

TEST_F(DocumentTest, SeveralPathsGiveOneMessageNamingEachAndTheSamePathOpensOnce) {
    const QString log = path(a_log(*this));
    document.open({log, path("nothing.log"), log});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].error);
    EXPECT_TRUE(messages[0].text.contains(QLatin1String("Opened")))
        << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.contains(QLatin1String("does not exist")))
        << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.contains(QLatin1String("already open")))
        << messages[0].text.toStdString();
    EXPECT_EQ(loaded, std::vector<QString>{log});
}

// The viewer's loader lets the event loop run, so a drop or a menu choice can ask for another
// open or a reload while one is loading: it is done after, never inside, the running load.
TEST_F(DocumentTest, OpenAndReloadAskedDuringALoadComeAfterIt) {
    const QString first = path(a_log(*this));
    write_file("second.txt", "not a log");
    const QString second = path("second.txt");
    int depth = 0;
    int deepest = 0;
    during_load = [&](const QString& file) {
        deepest = std::max(deepest, ++depth);
        if (file == first) {
            document.open({second});
            document.request_reload();
        }
        --depth;
    };
    document.set_reload_delay(1);
    document.open({first});
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(reloads, 0);
    EXPECT_TRUE(test::wait_until([&] { return reloads == 1; }));
    EXPECT_EQ(loaded, (std::vector<QString>{first, second}));
    EXPECT_EQ(document.paths(), (QStringList{first, second}));
}

TEST_F(DocumentTest, FileWrittenAgainAsksForOneReloadAndReloadReadsEveryPathInOrder) {
    const QString file = path("live.20240131.120000.000.log");
    TWritingSession session(file);
    session.root->add(LK_INFO, QStringLiteral("connected"));
    const QString other = path(a_log(*this));
    document.set_reload_delay(50);
    document.open({file, other});
    ASSERT_EQ(reloads, 0);

    for (int i = 0; i < 5; ++i)
        session.root->add(LK_INFO, QStringLiteral("sent block %1").arg(i));
    ASSERT_TRUE(test::wait_until([&] { return reloads > 0; }));
    // The burst of rewrites is one reload.
    EXPECT_FALSE(test::wait_until([&] { return reloads > 1; }, 300));

    loaded.clear();
    document.reload();
    EXPECT_EQ(loaded, (std::vector<QString>{file, other}));
    EXPECT_FALSE(messages.back().error) << messages.back().text.toStdString();

    // Still watched after the reload.
    session.root->add(LK_WARNING, QStringLiteral("slow reply"));
    EXPECT_TRUE(test::wait_until([&] { return reloads > 1; }));
}

// A session that never pauses is still shown as it goes: the reload comes while it writes.
TEST_F(DocumentTest, SessionWritingWithoutPauseIsReloadedWhileItWrites) {
    const QString file = path("busy.20240131.120000.000.log");
    TWritingSession session(file);
    session.root->add(LK_INFO, QStringLiteral("connected"));
    document.set_reload_delay(100);
    document.open({file});
    QTimer writer;
    int written = 0;
    QObject::connect(&writer, &QTimer::timeout, [&] {
        session.root->add(LK_INFO, QStringLiteral("block %1").arg(++written));
    });
    writer.start(5);
    EXPECT_TRUE(test::wait_until([&] { return reloads > 0; }));
    writer.stop();
}

TEST_F(DocumentTest, RemovedFileKeepsWhatWasReadAndSaysSo) {
    const QString file = path(a_log(*this));
    document.set_reload_delay(1);
    document.open({file});
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(test::wait_until([&] { return messages.size() > 1; }));
    EXPECT_TRUE(messages.back().error);
    EXPECT_TRUE(messages.back().text.contains(QLatin1String("removed")))
        << messages.back().text.toStdString();
    EXPECT_EQ(reloads, 0);
}

} // namespace
} // namespace zel::testing
