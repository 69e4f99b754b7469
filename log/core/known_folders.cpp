#include "log/core/known_folders.h"

#include "platform/process_info.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

namespace zel {

namespace {

// How each table kind is found here. XDG locations honour their environment variables (so
// KF_PROGRAMDATA is $XDG_DATA_HOME: a desktop user cannot write /var/lib); the few kinds that
// name a fixed part of the system get the matching system folder.
struct TFolderSource {
    std::optional<QStandardPaths::StandardLocation> location; // a per-user XDG location
    const char* system_folder = nullptr;                      // else a fixed folder
    bool system_applications = false; // else the first of $XDG_DATA_DIRS + "/applications"
};

TFolderSource folder_source(Tknown_folder kind) {
    using SP = QStandardPaths;
    switch (kind) {
    case KF_MYDOCUMENTS:
        return {SP::DocumentsLocation};
    case KF_APPDATA:
        return {SP::GenericConfigLocation};
    case KF_PROGRAMDATA:
        return {SP::GenericDataLocation};
    case KF_PROGRAMFILES:
        return {std::nullopt, "/opt"};
    case KF_WINDOWS:
        return {std::nullopt, "/"};
    case KF_SYSTEM:
        return {std::nullopt, "/usr/lib"};
    case KF_FONTS:
        return {SP::FontsLocation};
    case KF_PICTURE:
        return {SP::PicturesLocation};
    case KF_MUSIC:
        return {SP::MusicLocation};
    case KF_VIDEO:
        return {SP::MoviesLocation};
    case KF_DESKTOP:
        return {SP::DesktopLocation};
    case KF_DOWNLOAD:
        return {SP::DownloadLocation};
    case KF_START_MENU:
    case KF_PROGRAMS:
        return {SP::ApplicationsLocation};
    // One public folder holds every shared kind; public downloads are the public documents.
    case KF_PUBLIC_DOCUMENTS:
    case KF_PUBLIC_PICTURE:
    case KF_PUBLIC_MUSIC:
    case KF_PUBLIC_VIDEO:
    case KF_PUBLIC_DESKTOP:
    case KF_PUBLIC_DOWNLOAD:
        return {SP::PublicShareLocation};
    case KF_COMMON_START_MENU:
    case KF_COMMON_PROGRAMS:
        return {std::nullopt, nullptr, true};
    default:
        return {};
    }
}

QString system_applications_folder() {
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    const QString first = dirs.section(QLatin1Char(':'), 0, 0, QString::SectionSkipEmpty);
    return first.isEmpty() ? QString() : first + QStringLiteral("/applications");
}

QString executable_folder() {
    const std::string path = platform::executable_path();
    if (path.empty())
        return {};
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).path();
}

QString base_folder(Tknown_folder kind) {
    switch (kind) {
    case KF_RELATIVE:
        return QDir::currentPath();
    case KF_EXECUTABLE:
        return executable_folder();
    default:
        break;
    }
    const TFolderSource source = folder_source(kind);
    if (source.location)
        return QStandardPaths::writableLocation(*source.location);
    if (source.system_folder != nullptr)
        return QString::fromLatin1(source.system_folder);
    if (source.system_applications)
        return system_applications_folder();
    return {};
}

QString with_delimiter(QString folder) {
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString relative_part(const QString& path) {
    QString part = path;
    part.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (part.startsWith(QLatin1Char('/')))
        part.remove(0, 1);
    return part;
}

} // namespace

QString known_folder_path(Tknown_folder kind, const QString& path, bool must_exist) {
    QString result;
    if (kind == KF_ABSOLUTE) {
        if (path.isEmpty())
            return {};
        QString folder = path;
        folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
        result = with_delimiter(folder);
    } else {
        const QString base = base_folder(kind);
        if (base.isEmpty())
            return {};
        const QString part = relative_part(path);
        result = with_delimiter(base);
        if (!part.isEmpty())
            result = with_delimiter(result + part);
    }
    if (must_exist && !QFileInfo(result).isDir())
        return {};
    return result;
}

QString known_folder_file(Tknown_folder kind, const QString& path, const QString& file_name,
                          bool must_exist) {
    const QString folder = known_folder_path(kind, path, must_exist);
    if (folder.isEmpty())
        return {};
    QString file = folder + file_name;
    if (must_exist && !QFileInfo::exists(file))
        return {};
    return file;
}

} // namespace zel
