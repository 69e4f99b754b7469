#include "platform/whole_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

} // namespace
} // namespace zel::platform
