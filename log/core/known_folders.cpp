#include "log/core/known_folders.h"

#include "platform/process_info.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdint>

namespace zel {

namespace {

// How each table kind is found here. XDG locations honour their environment variables (so
// KF_PROGRAMDATA is $XDG_DATA_HOME: a desktop user cannot write /var/lib); the few kinds that
// name a fixed part of the system get the matching system folder; one public folder holds every
// shared kind, and public downloads are the public documents, as on Windows.
enum class TSource : std::uint8_t { xdg, system_folder, system_applications };

struct TFolderRow {
    Tknown_folder kind;
    TSource source;
    QStandardPaths::StandardLocation location; // for TSource::xdg
    const char* folder;                        // for TSource::system_folder
};

using SP = QStandardPaths;
constexpr SP::StandardLocation none = SP::HomeLocation; // unused by the row

constexpr TFolderRow folder_table[] = {
    {KF_MYDOCUMENTS, TSource::xdg, SP::DocumentsLocation, nullptr},
    {KF_APPDATA, TSource::xdg, SP::GenericConfigLocation, nullptr},
    {KF_PROGRAMDATA, TSource::xdg, SP::GenericDataLocation, nullptr},
    {KF_PROGRAMFILES, TSource::system_folder, none, "/opt"},
    {KF_WINDOWS, TSource::system_folder, none, "/"},
    {KF_SYSTEM, TSource::system_folder, none, "/usr/lib"},
    {KF_FONTS, TSource::xdg, SP::FontsLocation, nullptr},
    {KF_PICTURE, TSource::xdg, SP::PicturesLocation, nullptr},
    {KF_MUSIC, TSource::xdg, SP::MusicLocation, nullptr},
    {KF_VIDEO, TSource::xdg, SP::MoviesLocation, nullptr},
    {KF_DESKTOP, TSource::xdg, SP::DesktopLocation, nullptr},
    {KF_DOWNLOAD, TSource::xdg, SP::DownloadLocation, nullptr},
    {KF_START_MENU, TSource::xdg, SP::ApplicationsLocation, nullptr},
    {KF_PROGRAMS, TSource::xdg, SP::ApplicationsLocation, nullptr},
    {KF_PUBLIC_DOCUMENTS, TSource::xdg, SP::PublicShareLocation, nullptr},
    {KF_PUBLIC_PICTURE, TSource::xdg, SP::PublicShareLocation, nullptr},
    {KF_PUBLIC_MUSIC, TSource::xdg, SP::PublicShareLocation, nullptr},
    {KF_PUBLIC_VIDEO, TSource::xdg, SP::PublicShareLocation, nullptr},
    {KF_PUBLIC_DESKTOP, TSource::xdg, SP::PublicShareLocation, nullptr},
    {KF_PUBLIC_DOWNLOAD, TSource::xdg, SP::PublicShareLocation, nullptr},
    {KF_COMMON_START_MENU, TSource::system_applications, none, nullptr},
    {KF_COMMON_PROGRAMS, TSource::system_applications, none, nullptr},
};

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
    for (const TFolderRow& row : folder_table) {
        if (row.kind != kind)
            continue;
        switch (row.source) {
        case TSource::xdg:
            return QStandardPaths::writableLocation(row.location);
        case TSource::system_folder:
            return QString::fromLatin1(row.folder);
        case TSource::system_applications:
            return system_applications_folder();
        }
    }
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

bool make_folder_of(const QString& file) {
    return !file.isEmpty() && QDir().mkpath(QFileInfo(file).absolutePath());
}

} // namespace zel
