#include "platform/file_copy.h"
#include "tests/support/pattern_bytes.h"
#include "tests/support/wait_until.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

namespace zel::platform {
namespace {

QByteArray read_all(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Snapshot : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) const {
        QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    static std::string native(const QString& path) { return QFile::encodeName(path).toStdString(); }

    // Waits for the end of the copy through its descriptor, as an event loop does, and counts
    // the wake-ups.
    static bool wait_for_end(const FileSnapshot& snapshot, int& wakeups) {
        QSocketNotifier notifier(snapshot.ready_descriptor(), QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
            ++wakeups;
            snapshot.acknowledge();
        });
        return test::wait_until([&] { return snapshot.finished(); });
    }

    QTemporaryDir dir;
};

TEST_F(Snapshot, CopiesEveryByteInLargeChunksAndClosesTheSourceAtTheEnd) {
    for (const qsizetype size :
         {qsizetype{0}, qsizetype{3 * 1024 * 1024 + 5}, qsizetype{20 * 1024 * 1024 + 17}}) {
        SCOPED_TRACE(size);
        const QByteArray bytes = test::pattern_bytes(size);
        const QString from = write(QStringLiteral("from"), bytes);
        const QString to = dir.filePath(QStringLiteral("to-%1").arg(size));
        auto started = FileSnapshot::start(native(from), native(to));
        ASSERT_TRUE(started.snapshot) << static_cast<int>(started.stage) << " " << started.error;
        const FileSnapshot& snapshot = *started.snapshot;
        EXPECT_EQ(snapshot.size(), size);
        int wakeups = 0;
        ASSERT_TRUE(wait_for_end(snapshot, wakeups));
        EXPECT_EQ(snapshot.error(), 0);
        EXPECT_EQ(snapshot.copied(), size);
        EXPECT_FALSE(snapshot.source_open());
        EXPECT_LE(wakeups, 5); // chunks of megabytes, not blocks
        EXPECT_EQ(read_all(to), bytes);
        EXPECT_EQ(QFileInfo(to).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                  QFile::Permissions{});
    }
}

TEST_F(Snapshot, RefusalsBeforeTheCopyLeaveNothingBehind) {
    const QString source = write(QStringLiteral("source"), "bytes");
    const QString victim = write(QStringLiteral("victim"), "keep me");
    const QString link = dir.filePath(QStringLiteral("planted"));
    ASSERT_TRUE(QFile::link(victim, link));
    struct Case {
        QString from;
        QString to;
        int error;
        FileSnapshot::Stage stage;
    };
    for (const Case& c :
         {Case{dir.filePath(QStringLiteral("missing")), dir.filePath(QStringLiteral("t1")), ENOENT,
               FileSnapshot::Stage::source},
          Case{dir.path(), dir.filePath(QStringLiteral("t2")), EISDIR, FileSnapshot::Stage::source},
          Case{source, dir.filePath(QStringLiteral("no/folder/t3")), ENOENT,
               FileSnapshot::Stage::target},
          Case{source, link, EEXIST, FileSnapshot::Stage::target}}) {
        SCOPED_TRACE(c.to.toStdString());
        const auto started = FileSnapshot::start(native(c.from), native(c.to));
        EXPECT_FALSE(started.snapshot);
        EXPECT_EQ(started.error, c.error);
        EXPECT_EQ(started.stage, c.stage);
        EXPECT_TRUE(c.to == link || !QFileInfo::exists(c.to));
    }
    EXPECT_EQ(read_all(victim), "keep me"); // the link was not followed
}

TEST_F(Snapshot, RemoveTakesTheNameAtOnceAndTheDescriptorStaysReadable) {
    const QByteArray bytes = test::pattern_bytes(1024 * 1024);
    const QString to = dir.filePath(QStringLiteral("copy"));
    auto started = FileSnapshot::start(native(write(QStringLiteral("from"), bytes)), native(to));
    ASSERT_TRUE(started.snapshot);
    int wakeups = 0;
    ASSERT_TRUE(wait_for_end(*started.snapshot, wakeups));
    started.snapshot->remove();
    EXPECT_FALSE(QFileInfo::exists(to));
    QFile open_copy;
    ASSERT_TRUE(open_copy.open(started.snapshot->descriptor(), QIODevice::ReadOnly,
                               QFile::DontCloseHandle));
    EXPECT_EQ(open_copy.readAll(), bytes);
    started.snapshot.reset(); // frees the blocks on a thread of its own
}

// On a file system that shares extents (a folder named by ZEL_CLONE_TEST_DIR; scripts/test makes
// one on XFS where it may mount), the snapshot is a clone: made on the copy's thread when there
// is room for a copy, and before `start` returns when there is none (a copy would be refused).
TEST_F(Snapshot, ClonesWhereTheFileSystemSharesExtents) {
    const QString clone_folder = qEnvironmentVariable("ZEL_CLONE_TEST_DIR");
    if (clone_folder.isEmpty())
        GTEST_SKIP() << "ZEL_CLONE_TEST_DIR names no folder on a file system that clones";
    const QTemporaryDir here(clone_folder + QStringLiteral("/snapshot-XXXXXX"));
    ASSERT_TRUE(here.isValid());
    const QByteArray bytes = test::pattern_bytes(4 * 1024 * 1024 + 3);
    const QString from = here.filePath(QStringLiteral("from"));
    {
        QFile file(from);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    for (const bool room : {true, false}) {
        SCOPED_TRACE(room ? "room for a copy" : "no room for a copy");
        if (!room) { // what is left is less than the file
            const qint64 filler = QStorageInfo(here.path()).bytesAvailable() - bytes.size() / 2;
            ASSERT_EQ(QProcess::execute(QStringLiteral("fallocate"),
                                        {QStringLiteral("-l"), QString::number(filler),
                                         here.filePath(QStringLiteral("filler"))}),
                      0);
        }
        const QString to = here.filePath(room ? QStringLiteral("to-room") : QStringLiteral("to"));
        auto started = FileSnapshot::start(native(from), native(to));
        ASSERT_TRUE(started.snapshot) << static_cast<int>(started.stage) << " " << started.error;
        int wakeups = 0;
        ASSERT_TRUE(wait_for_end(*started.snapshot, wakeups));
        EXPECT_EQ(started.snapshot->error(), 0);
        EXPECT_EQ(started.snapshot->copied(), bytes.size());
        EXPECT_FALSE(started.snapshot->source_open());
        EXPECT_EQ(read_all(to), bytes);
    }
}

TEST(PrivateFolder, OneFolderOfTheOwnerAloneForTheWholeProcess) {
    int error = -1;
    const std::string folder = process_private_folder(error);
    ASSERT_FALSE(folder.empty()) << error;
    EXPECT_EQ(error, 0);
    const QFileInfo info(QString::fromStdString(folder));
    EXPECT_TRUE(info.isDir());
    EXPECT_FALSE(info.isSymLink());
    EXPECT_EQ(info.permissions() & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                     QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
              QFile::Permissions{});
    EXPECT_EQ(process_private_folder(error), folder);
}

// Folders of ended processes (a crash) go with their files; the living keep theirs, and a link is
// not followed.
TEST(PrivateFolder, FoldersOfEndedProcessesAreRemoved) {
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    ASSERT_TRUE(ended.waitForStarted());
    const qint64 dead = ended.processId();
    ASSERT_TRUE(ended.waitForFinished());
    const qint64 alive = QCoreApplication::applicationPid();

    QTemporaryDir parent;
    QTemporaryDir elsewhere;
    const QDir root(parent.path());
    auto folder_with_file = [&](const QString& name) {
        EXPECT_TRUE(root.mkdir(name));
        QFile file(root.filePath(name + QStringLiteral("/copy.tmp")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    };
    folder_with_file(QStringLiteral("upload-%1-abc").arg(dead));
    folder_with_file(QStringLiteral("upload-%1-def").arg(alive));
    folder_with_file(QStringLiteral("upload-x-ghi"));
    folder_with_file(QStringLiteral("other-%1-jkl").arg(dead));
    QFile kept(QDir(elsewhere.path()).filePath(QStringLiteral("kept")));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    ASSERT_TRUE(
        QFile::link(elsewhere.path(), root.filePath(QStringLiteral("upload-%1-lnk").arg(dead))));

    remove_abandoned_folders(parent.path().toStdString(), "upload-");
    EXPECT_EQ(
        root.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
        (QStringList{QStringLiteral("other-%1-jkl").arg(dead),
                     QStringLiteral("upload-%1-def").arg(alive),
                     QStringLiteral("upload-%1-lnk").arg(dead), QStringLiteral("upload-x-ghi")}));
    EXPECT_TRUE(kept.exists());
}

} // namespace
} // namespace zel::platform
