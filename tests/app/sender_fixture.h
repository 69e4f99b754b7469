#pragma once

// What the sender tests share: the user's folders redirected to a temporary one, the main
// window's log configuration on a fresh default root, and texts found in log trees and server
// folders.

#include "app/sender/deployment.h"
#include "log/core/log_interfaces.h"
#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "log/persistence/log_config.h"
#include "log/persistence/log_loader.h"
#include "log/persistence/log_persistence.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace zel::test {

inline constexpr const char* deployment_key = "ZelSupport12";

// Every text of the tree below `group`, depth first.
inline void collect_texts(const ILogGroupPtr& group, QStringList& texts) {
    for (std::int32_t i = 0; group && i < group->event_count(); ++i) {
        const ILogEventPtr entry = group->getevent(i);
        if (!entry)
            continue;
        texts << entry->text();
        if (auto child = std::dynamic_pointer_cast<ILogGroup>(entry))
            collect_texts(child, texts);
    }
}

// The texts of a log file read back by the loader; empty when it cannot be read.
inline QStringList texts_of_log_file(const QString& path) {
    const std::shared_ptr<TLogRoot> root = TLogRoot::Create();
    QStringList texts;
    if (load_log_from_file(root, path))
        collect_texts(root, texts);
    release_log_tree(*root);
    return texts;
}

// Every file below `folder`, as paths relative to it.
inline QStringList files_below(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

inline QByteArray bytes_of(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline TDeployment deployment_for(quint16 port, const QString& clear_password) {
    TDeployment deployment;
    deployment.host = QStringLiteral("127.0.0.1");
    deployment.port = QString::number(port);
    deployment.key = QString::fromLatin1(deployment_key);
    deployment.enciphered_password = encipher_password(clear_password.toUtf8(), deployment.key);
    return deployment;
}

class SenderFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            qputenv(variable, home.filePath(QString::fromLatin1(variable)).toLocal8Bit());
        install_log_persistence();
        log_config = main_window_log_config();
        log_config->Loaded();
    }

    void TearDown() override {
        log_config.reset();
        if (default_log_root)
            release_log_tree(*default_log_root.load());
        default_log_root = nullptr;
    }

    QString current_log_file() const { return log_config->storages().storage(0)->fq_filename(); }

    QString user_file(const QByteArray& bytes, const QString& name) const {
        const QString path = home.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir home;
    std::unique_ptr<TLog_config> log_config;
};

} // namespace zel::test
