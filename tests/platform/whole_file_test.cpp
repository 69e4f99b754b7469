#include "platform/whole_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

    whole_file file;
    ASSERT_EQ(file.open(path.toStdString(), whole_file_open::open_always),
              whole_file_status::opened);
    EXPECT_EQ(contents_of(path), "previous run's content"); // kept until the first replace

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
    whole_file file;
    EXPECT_EQ(file.open(dir.filePath("missing/folder/log.txt").toStdString(),
                        whole_file_open::open_always),
              whole_file_status::failed);
    EXPECT_FALSE(file.is_open());
    EXPECT_FALSE(file.replace("text"));

    whole_file moved;
    ASSERT_EQ(moved.open(dir.filePath("log.txt").toStdString(), whole_file_open::create_new),
              whole_file_status::opened);
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
    whole_file file;
    ASSERT_EQ(file.open(path.toStdString(), whole_file_open::create_new),
              whole_file_status::opened);
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
    EXPECT_EQ(file.written(), 15u);
    EXPECT_EQ(contents_of(path), "abcdefghijklmno");

    ASSERT_TRUE(file.replace("ABCDEFGHIJKL"));
    EXPECT_EQ(contents_of(path), "ABCDEFGHIJKL");
}

// One writer per file, in any process; readers are not kept out.
TEST(WholeFile, OneWriterHoldsAFileInAnyProcess) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("log.txt").toStdString();
    whole_file first;
    ASSERT_EQ(first.open(path, whole_file_open::create_new), whole_file_status::opened);
    ASSERT_TRUE(first.replace("first writer"));

    whole_file second;
    EXPECT_EQ(second.open(path, whole_file_open::create_new), whole_file_status::name_taken);
    EXPECT_EQ(second.open(path, whole_file_open::open_always), whole_file_status::in_use);
    EXPECT_EQ(second.open(path, whole_file_open::open_existing), whole_file_status::in_use);
    EXPECT_EQ(second.open(dir.filePath("none.txt").toStdString(), whole_file_open::open_existing),
              whole_file_status::missing);
    EXPECT_FALSE(second.is_open());
    const pid_t child = ::fork(); // another process is kept out too
    ASSERT_GE(child, 0);
    if (child == 0) {
        whole_file other;
        ::_exit(other.open(path, whole_file_open::open_always) == whole_file_status::in_use ? 0
                                                                                            : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(contents_of(dir.filePath("log.txt")), "first writer");

    const file_identity identity = first.identity();
    first.close();
    ASSERT_EQ(second.open(path, whole_file_open::open_existing), whole_file_status::opened);
    EXPECT_EQ(second.identity(), identity);
}

} // namespace
} // namespace zel::platform
