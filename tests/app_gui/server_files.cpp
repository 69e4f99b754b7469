#include "tests/app_gui/server_files.h"

#include "log/core/log_lists.h"
#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "log/persistence/log_loader.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace zel::test {

namespace {

QStringList texts_of(const ILogGroupPtr& group) {
    const auto list = std::make_shared<TLogEventList>();
    group->select(list, {}, nullptr);
    QStringList texts;
    for (std::int32_t i = 0; i < list->Count(); ++i)
        texts << list->GetItems(i)->text();
    return texts;
}

} // namespace

QHash<QString, QByteArray> files_below(const QString& root) {
    QHash<QString, QByteArray> files;
    const QDir base(root);
    for (QDirIterator walk(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         walk.hasNext();) {
        QFile file(walk.next());
        if (file.open(QIODevice::ReadOnly))
            files.insert(base.relativeFilePath(file.fileName()), file.readAll());
    }
    return files;
}

QStringList logged_texts(const QByteArray& log_file) {
    const std::shared_ptr<TLogRoot> reader_root = TLogRoot::Create();
    ILogGroupPtr reader;
    reader_root->add_seeded_group(reader, GK_READER);
    QStringList texts;
    if (reader && load_log_from_bytes(reader, log_file, QStringLiteral("uploaded log")))
        texts = texts_of(reader);
    release_log_tree(*reader_root);
    return texts;
}

QStringList session_texts() {
    return default_log_root ? texts_of(default_log_root.load()) : QStringList();
}

QString history_name(const QString& email, const QString& extension) {
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + '_' + email + extension;
}

} // namespace zel::test
