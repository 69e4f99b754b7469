#include "log/core/known_folders.h"
#include "tests/log_core/qt_print.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zel {
namespace {

// Every XDG folder points into a temporary home, so nothing here depends on the machine.
class KnownFolders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(home.filePath("system")));
        ASSERT_TRUE(QDir(home.path()).mkpath("config"));
        QFile dirs(home.filePath("config/user-dirs.dirs"));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_PUBLICSHARE_DIR=\"$HOME/shared\"\nXDG_DOCUMENTS_DIR=\"$HOME/docs\"\n");
    }

    QString at(const char* relative) const { return home.filePath(relative); }

    QTemporaryDir home;
};

TEST_F(KnownFolders, TableKindsFollowTheXdgVariables) {
    struct Case {
        Tknown_folder kind;
        const char* folder;
    };
    for (const Case& c :
         {Case{KF_PROGRAMDATA, "data/"}, Case{KF_APPDATA, "config/"}, Case{KF_MYDOCUMENTS, "docs/"},
          Case{KF_PUBLIC_DOCUMENTS, "shared/"}, Case{KF_PUBLIC_DOWNLOAD, "shared/"},
          Case{KF_COMMON_PROGRAMS, "system/applications/"}}) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(known_folder_path(c.kind, QString(), false), at(c.folder));
    }
}

TEST_F(KnownFolders, SubPathIsAppendedWithSlashesWhetherOrNotItExists) {
    EXPECT_EQ(known_folder_path(KF_PROGRAMDATA, "a\\b", false), at("data/a/b/"));
    EXPECT_EQ(known_folder_path(KF_PROGRAMDATA, "ZEL\\ZEL Kettle\\1\\log", false),
              at("data/ZEL/ZEL Kettle/1/log/"));
    EXPECT_TRUE(known_folder_path(KF_PROGRAMDATA, "a\\b", true).isEmpty());
    ASSERT_TRUE(QDir(home.path()).mkpath("data/a/b"));
    EXPECT_EQ(known_folder_path(KF_PROGRAMDATA, "a/b/", true), at("data/a/b/"));
}

TEST_F(KnownFolders, AbsoluteFolderGetsItsDelimiter) {
    const QString missing = at("nowhere");
    EXPECT_EQ(known_folder_path(KF_ABSOLUTE, missing, false), missing + "/");
    EXPECT_TRUE(known_folder_path(KF_ABSOLUTE, missing, true).isEmpty());
    EXPECT_EQ(known_folder_path(KF_ABSOLUTE, home.path(), true), home.path() + "/");
}

TEST_F(KnownFolders, ComputedKinds) {
    EXPECT_EQ(known_folder_path(KF_RELATIVE, "x", false), QDir::currentPath() + "/x/");
    const QString executable = known_folder_path(KF_EXECUTABLE, QString(), true);
    EXPECT_TRUE(QFile::exists(executable + "log_core_tests")) << executable.toStdString();
    EXPECT_TRUE(known_folder_path(static_cast<Tknown_folder>(99), "x", false).isEmpty());
}

TEST_F(KnownFolders, FileNameIsReturnedUnlessItMustExist) {
    const QString file = known_folder_file(KF_APPDATA, "ZEL", "crash_list.crashlist", false);
    EXPECT_EQ(file, at("config/ZEL/crash_list.crashlist"));
    EXPECT_TRUE(known_folder_file(KF_APPDATA, "ZEL", "crash_list.crashlist", true).isEmpty());
    EXPECT_EQ(known_folder_file(KF_APPDATA, "", "user-dirs.dirs", true),
              at("config/user-dirs.dirs"));
}

} // namespace
} // namespace zel
