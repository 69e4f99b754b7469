// Test entry for the window tests: a QApplication on the offscreen platform, with the per-user
// settings in a temporary folder (QSettings reads its folder once per process).
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir config_home;
    if (!config_home.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", config_home.path().toLocal8Bit());
    const QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("ZEL send support file"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
