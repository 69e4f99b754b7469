#include "app/sender/deployment.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zel {
namespace {

const QString key = QStringLiteral("ZelSupport12");

TEST(Deployment, DecipherUndoesEncipher) {
    const QByteArray passwords[] = {QByteArray(), "secret-pw",
                                    "a much longer password than the key",
                                    QStringLiteral("pässwörd ✓").toUtf8(), "\xff\xfe\x01"};
    for (const QByteArray& clear : passwords) {
        const QByteArray enciphered = encipher_password(clear, key);
        EXPECT_EQ(enciphered.size(), clear.size());
        if (!clear.isEmpty()) {
            EXPECT_NE(enciphered, clear);
        }
        EXPECT_EQ(decipher_password(enciphered, key), QString::fromLocal8Bit(clear));
    }
    // Byte i is shifted by key character i mod 12, wrapping at 256.
    EXPECT_EQ(encipher_password("\xff", QStringLiteral("\x02")), QByteArray("\x01"));
    EXPECT_EQ(encipher_password("AAA", QStringLiteral("\x01\x02")), QByteArray("BCB"));
}

TEST(Deployment, DeployerScriptGivesWhatTheSenderDeciphers) {
    QProcess script;
    script.start(QStringLiteral(ZEL_ENCIPHER_SCRIPT), {key});
    ASSERT_TRUE(script.waitForStarted());
    script.write("secret-pw\n");
    script.closeWriteChannel();
    ASSERT_TRUE(script.waitForFinished());
    EXPECT_EQ(script.exitCode(), 0);
    const QByteArray hex = script.readAllStandardOutput().trimmed();
    EXPECT_EQ(hex, encipher_password("secret-pw", key).toHex());
    EXPECT_EQ(decipher_password(QByteArray::fromHex(hex), key), QStringLiteral("secret-pw"));
}

class DeploymentFile : public ::testing::Test {
protected:
    QString file_with(const QByteArray& content) {
        const QString path = folder.filePath(QStringLiteral("deployment.ini"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        return path;
    }

    static TDeployment defaults() {
        TDeployment values;
        values.host = QStringLiteral("ftp.default.example");
        values.port = QStringLiteral("ftp");
        values.enciphered_password = "\x10\x20";
        values.key = key;
        return values;
    }

    QTemporaryDir folder;
};

TEST_F(DeploymentFile, ReplacesEachValueItHolds) {
    const TDeployment all = read_deployment_file(
        file_with("[server]\nhost=127.0.0.1\nport=2121\npassword=cdcacf\nkey=abcdefghijkl\n"),
        defaults());
    EXPECT_TRUE(all.error.isEmpty()) << all.error.toStdString();
    EXPECT_EQ(all.host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(all.port, QStringLiteral("2121"));
    EXPECT_EQ(all.enciphered_password, QByteArray("\xcd\xca\xcf"));
    EXPECT_EQ(all.key, QStringLiteral("abcdefghijkl"));
    EXPECT_EQ(all.user, QStringLiteral("zelsupport"));

    const TDeployment some = read_deployment_file(file_with("[server]\nport=21\n"), defaults());
    EXPECT_EQ(some.host, defaults().host);
    EXPECT_EQ(some.port, QStringLiteral("21"));
    EXPECT_EQ(some.enciphered_password, defaults().enciphered_password);
    EXPECT_EQ(some.key, key);
}

TEST_F(DeploymentFile, BadFileKeepsTheDefaultsAndSaysWhy) {
    const TDeployment missing =
        read_deployment_file(folder.filePath(QStringLiteral("none.ini")), defaults());
    EXPECT_TRUE(missing.error.contains(QStringLiteral("no such file")));
    EXPECT_EQ(missing.host, defaults().host);

    const TDeployment bad_hex =
        read_deployment_file(file_with("[server]\npassword=zz-secret\n"), defaults());
    EXPECT_FALSE(bad_hex.error.isEmpty());
    EXPECT_FALSE(bad_hex.error.contains(QStringLiteral("zz-secret"))); // no password text
    EXPECT_EQ(bad_hex.enciphered_password, defaults().enciphered_password);
}

TEST_F(DeploymentFile, EnvironmentNamesTheFile) {
    const QByteArray saved = qgetenv("ZEL_DEPLOYMENT");
    qputenv("ZEL_DEPLOYMENT", file_with("[server]\nhost=10.1.2.3\n").toLocal8Bit());
    EXPECT_EQ(deployment_values().host, QStringLiteral("10.1.2.3"));
    qunsetenv("ZEL_DEPLOYMENT");
    EXPECT_EQ(deployment_values().host, built_in_deployment().host);
    if (!saved.isEmpty())
        qputenv("ZEL_DEPLOYMENT", saved);
}

} // namespace
} // namespace zel
