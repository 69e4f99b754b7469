#include "log/core/log_root.h"
#include "log/diagnostics/crash_list_sync.h"
#include "log/diagnostics/log_diagnostics.h"
#include "platform/process_info.h"
#include "tests/log_core/qt_print.h"
#include "tests/log_diagnostics/stub_crash_storage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zel {
namespace {

class CrashList : public ::testing::Test {
protected:
    void SetUp() override {
        install_log_diagnostics();
        ASSERT_TRUE(folder.isValid());
        root = make_root();
    }
    void TearDown() override { root->clear_all(); }

    // A root whose crash list lies in the test folder; two such roots act like two processes.
    std::shared_ptr<TLogRoot> make_root() const {
        auto made = TLogRoot::Create();
        made->set_location(KF_ABSOLUTE);
        made->set_path(folder.filePath("lists"));
        made->set_crashlist_name("crash_list_" + QString::number(platform::current_process_id()));
        return made;
    }

    // A crash log whose file exists.
    ILogStoragePtr crash_log(const QString& name) const {
        const QString file_name = folder.filePath(name);
        QFile file(file_name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return std::make_shared<TStubCrashStorage>(file_name);
    }

    QString list_file() const { return root->fq_filename(); }

    QStringList file_lines() const {
        QFile file(list_file());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QString text = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(text.endsWith("\r\n"));
        text.chop(2);
        return text.split(QStringLiteral("\r\n"));
    }

    QTemporaryDir folder;
    std::shared_ptr<TLogRoot> root;
};

TEST_F(CrashList, CrashLogIsListedUntilItsSessionEnds) {
    const ILogStoragePtr log = crash_log("a.log");
    EXPECT_TRUE(QFileInfo(list_file()).fileName().endsWith(".crashlist"));
    root->register_crash(log);
    root->register_crash(log); // twice: still one line
    EXPECT_EQ(file_lines(), QStringList{crash_line(*log)});
    EXPECT_TRUE(crash_line(*log).startsWith(
        "log_diagnostics_tests:" + QString::number(platform::current_process_id()) + "=" +
        folder.filePath("a.log")));

    root->unregister_crash(log);
    EXPECT_FALSE(QFile::exists(log->fq_filename()));
    EXPECT_FALSE(QFile::exists(list_file())); // the last line took the file with it
}

TEST_F(CrashList, UnregisteringAStorageThatWasNeverRegisteredChangesNothing) {
    const ILogStoragePtr registered = crash_log("a.log");
    const ILogStoragePtr stranger = crash_log("b.log");
    root->register_crash(registered);
    root->unregister_crash(stranger);
    EXPECT_TRUE(QFile::exists(stranger->fq_filename()));
    EXPECT_EQ(file_lines(), QStringList{crash_line(*registered)});
    root->unregister_crash(registered);
}

TEST_F(CrashList, LinesOfOtherSessionsAreKeptAndReported) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(list_file()).absolutePath()));
    {
        QFile file(list_file());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("zzz:42=/var/tmp/old.log\r\nAAA:7=/var/tmp/older.log\r\n");
    }
    const ILogStoragePtr log = crash_log("a.log");
    root->register_crash(log);
    // Sorted without regard to case, the own line among them.
    const QStringList expected{"AAA:7=/var/tmp/older.log", crash_line(*log),
                               "zzz:42=/var/tmp/old.log"};
    EXPECT_EQ(file_lines(), expected);

    QStringList reported;
    EXPECT_EQ(root->build_crash_list(reported), 2);
    EXPECT_EQ(reported, (QStringList{"AAA:7=/var/tmp/older.log", "zzz:42=/var/tmp/old.log"}));

    root->unregister_crash(log);
    EXPECT_EQ(file_lines(), (QStringList{"AAA:7=/var/tmp/older.log", "zzz:42=/var/tmp/old.log"}));
}

TEST_F(CrashList, LineRemovedByAnotherSessionIsNotWrittenBack) {
    const std::shared_ptr<TLogRoot> other = make_root();
    const ILogStoragePtr mine = crash_log("mine.log");
    const ILogStoragePtr theirs = crash_log("theirs.log");
    root->register_crash(mine);
    other->register_crash(theirs);
    QStringList reported;
    EXPECT_EQ(root->build_crash_list(reported), 1); // this root now knows the other's line
    other->unregister_crash(theirs);
    root->unregister_crash(mine);
    EXPECT_FALSE(QFile::exists(list_file()));
    other->clear_all();
}

TEST_F(CrashList, FolderThatCannotBeCreatedMovesTheListToPublicDocuments) {
    QFile blocker(folder.filePath("not_a_folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    root->set_path(folder.filePath("not_a_folder/lists"));
    const QByteArray saved_config = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", folder.filePath("config").toUtf8());
    ASSERT_TRUE(QDir().mkpath(folder.filePath("config")));
    {
        QFile user_dirs(folder.filePath("config/user-dirs.dirs"));
        ASSERT_TRUE(user_dirs.open(QIODevice::WriteOnly));
        user_dirs.write("XDG_PUBLICSHARE_DIR=\"" + folder.filePath("public").toUtf8() + "\"\n");
    }

    const ILogStoragePtr log = crash_log("a.log");
    root->register_crash(log);
    EXPECT_EQ(root->location(), KF_PUBLIC_DOCUMENTS);
    EXPECT_TRUE(list_file().startsWith(folder.filePath("public"))) << list_file().toStdString();
    EXPECT_EQ(file_lines(), QStringList{crash_line(*log)});
    root->unregister_crash(log);
    EXPECT_FALSE(QFile::exists(list_file()));
    qputenv("XDG_CONFIG_HOME", saved_config);
}

// The folder is there but the list file cannot be opened (here a folder has its name): the
// list does not move, nothing is listed, nothing is deleted.
TEST_F(CrashList, ListFileThatCannotBeOpenedStaysWhereItIs) {
    ASSERT_TRUE(QDir().mkpath(list_file()));
    const QString where = list_file();
    const ILogStoragePtr log = crash_log("a.log");
    EXPECT_FALSE(root->register_crash(log));
    EXPECT_EQ(root->location(), KF_ABSOLUTE);
    EXPECT_EQ(list_file(), where);
    EXPECT_EQ(root->crash_list().count(), 0);
    EXPECT_FALSE(root->unregister_crash(log));
    EXPECT_TRUE(QFile::exists(log->fq_filename()));
}

TEST_F(CrashList, UnreachableFileChangesNothing) {
    root->set_location(KF_ABSOLUTE);
    root->set_path(QStringLiteral("/proc/no_such_place"));
    const ILogStoragePtr log = crash_log("a.log");
    // Public documents cannot be reached either: nothing is listed, nothing is deleted.
    const QByteArray saved_home = qgetenv("HOME");
    const QByteArray saved_config = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", "/proc/no_home");
    qputenv("XDG_CONFIG_HOME", "/proc/no_config");
    EXPECT_FALSE(root->sync(log, true));
    EXPECT_EQ(root->crash_list().count(), 0);
    EXPECT_FALSE(root->sync(log, false));
    EXPECT_TRUE(QFile::exists(log->fq_filename()));
    qputenv("HOME", saved_home);
    qputenv("XDG_CONFIG_HOME", saved_config);
}

} // namespace
} // namespace zel
