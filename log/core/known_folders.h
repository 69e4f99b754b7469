#pragma once

#include <QString>

#include <cstdint>

namespace zel {

// Symbolic folders; the first three are computed, the rest come from the platform's table.
enum Tknown_folder : std::uint8_t {
    KF_RELATIVE,
    KF_ABSOLUTE,
    KF_EXECUTABLE,
    KF_MYDOCUMENTS,
    KF_APPDATA,
    KF_PROGRAMDATA,
    KF_PROGRAMFILES,
    KF_WINDOWS,
    KF_SYSTEM,
    KF_FONTS,
    KF_PICTURE,
    KF_MUSIC,
    KF_VIDEO,
    KF_DESKTOP,
    KF_DOWNLOAD,
    KF_START_MENU,
    KF_PROGRAMS,
    KF_PUBLIC_DOCUMENTS,
    KF_PUBLIC_PICTURE,
    KF_PUBLIC_MUSIC,
    KF_PUBLIC_VIDEO,
    KF_PUBLIC_DESKTOP,
    KF_PUBLIC_DOWNLOAD,
    KF_COMMON_START_MENU,
    KF_COMMON_PROGRAMS,
};
inline constexpr int known_folder_count = KF_COMMON_PROGRAMS + 1;

// The folder of `kind` with the relative `path` below it, always ending with "/"; empty when the
// folder cannot be determined, or when `must_exist` is true and it does not exist. `path` may
// use "/" or "\" between its parts. KF_ABSOLUTE takes `path` itself as the folder.
QString known_folder_path(Tknown_folder kind, const QString& path, bool must_exist);

// known_folder_path + `file_name`; empty when the folder is empty, or when `must_exist` is true
// and the file does not exist.
QString known_folder_file(Tknown_folder kind, const QString& path, const QString& file_name,
                          bool must_exist);

// Makes the folder that `file` is to be in, with the folders above it; false for an empty name
// or a folder that cannot be made.
bool make_folder_of(const QString& file);

} // namespace zel
