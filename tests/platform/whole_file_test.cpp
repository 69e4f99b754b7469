#include "platform/whole_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace zel::platform {
namespace {

QByteArray contents_of(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(WholeFile, EveryReplaceLeavesExactlyTheNewContent) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("previous run's content");
    old.close();

    whole_file file(path.toStdString());
    ASSERT_TRUE(file.is_open());
    EXPECT_EQ(contents_of(path), ""); // opening empties an existing file

    for (const char* text : {"a longer first content", "short", "", "grown again, longer"}) {
        ASSERT_TRUE(file.replace(text));
        EXPECT_EQ(contents_of(path), text);
    }
    file.close();
    EXPECT_FALSE(file.is_open());
    EXPECT_FALSE(file.replace("after close"));
    EXPECT_EQ(contents_of(path), "grown again, longer");
}

TEST(WholeFile, AFileThatCannotBeCreatedStaysClosed) {
    QTemporaryDir dir;
    whole_file file(dir.filePath("missing/folder/log.txt").toStdString());
    EXPECT_FALSE(file.is_open());
    EXPECT_FALSE(file.replace("text"));

    whole_file moved(dir.filePath("log.txt").toStdString());
    file = std::move(moved);
    EXPECT_TRUE(file.is_open());
    EXPECT_FALSE(
        moved.is_open()); // NOLINT(bugprone-use-after-move): the moved-from state is defined
    EXPECT_TRUE(file.replace("moved"));
    EXPECT_EQ(contents_of(dir.filePath("log.txt")), "moved");
}

// A write cut short (here by the file size limit, as a full disk would) leaves more bytes in the
// file than the last complete content had; the next, shorter content must still cut them off.
TEST(WholeFile, AContentWrittenOnlyInPartIsCutOffByTheNextReplace) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    whole_file file(path.toStdString());
    ASSERT_TRUE(file.replace("0123456789"));

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 15;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = file.replace("abcdefghijklmnopqrst");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous_handler);
    EXPECT_FALSE(written);
    EXPECT_EQ(contents_of(path), "abcdefghijklmno");

    ASSERT_TRUE(file.replace("ABCDEFGHIJKL"));
    EXPECT_EQ(contents_of(path), "ABCDEFGHIJKL");
}

} // namespace
} // namespace zel::platform
