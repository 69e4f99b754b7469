#include "app/sender/email_store.h"
#include "app/sender/send_workflow.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(HistoryPath, OnlyTheLastExtensionBecomesSending) {
    const struct {
        const char* local_path;
        const char* file_name;
        const char* sending;
    } cases[] = {
        {"/w/2026-05-02_jane.doe@mail.example.com.txt", "2026-05-02_jane.doe@mail.example.com.txt",
         "2026-05-02_jane.doe@mail.example.com.SENDING"},
        {"/w/2026-05-02_a@b.txt", "2026-05-02_a@b.txt", "2026-05-02_a@b.SENDING"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        THistoryPath history{QString::fromUtf8(c.local_path)};
        EXPECT_EQ(history.GetFileName(), QString::fromUtf8(c.file_name));
        EXPECT_EQ(history.GetNameSending(), QString::fromUtf8(c.sending));
    }
    TSettings settings;
    settings.FFileToPublish = QStringLiteral("/home/me/my files/dump v2.bin");
    EXPECT_EQ(settings.FileNameToPublish(), QStringLiteral("dump v2.bin"));
}

TEST(StoredEmail, IsTheZelRepValueFtpEmailFolder) {
    const QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    ASSERT_TRUE(write_stored_email(QStringLiteral("first@example.com")));
    ASSERT_TRUE(write_stored_email(QStringLiteral("jane.doe@example.com")));
    EXPECT_EQ(read_stored_email(), QStringLiteral("jane.doe@example.com"));
    const QSettings settings(QStringLiteral("ZEL"), QStringLiteral("ZelRep"));
    EXPECT_TRUE(settings.fileName().endsWith(QStringLiteral("/ZEL/ZelRep.conf")));
    EXPECT_EQ(settings.value(QStringLiteral("FtpEmailFolder")).toString(),
              QStringLiteral("jane.doe@example.com"));
}

} // namespace
} // namespace zel
