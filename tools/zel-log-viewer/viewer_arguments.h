#pragma once

#include <QString>
#include <QStringList>

namespace zel {

// The command line of zel-log-viewer:
//   zel-log-viewer [PATH...] [--screenshot PNG]
//   zel-log-viewer --help | --version
// PATH: a log file, a folder of logs or a .crashlist file. --screenshot: opens the paths, saves
// a picture of the window once every row is placed, and ends.
struct TViewerArguments {
    QStringList paths;
    QString screenshot;
    bool help = false;
    bool version = false;
    QString error; // what is wrong with the command line; empty when it is usable
};

inline constexpr const char* viewer_usage =
    "usage: zel-log-viewer [PATH...] [--screenshot PNG]\n"
    "       zel-log-viewer --help | --version\n"
    "PATH: a log file, a folder of logs or a .crashlist file.\n"
    "--screenshot PNG: open the paths, save a picture of the window to PNG and end.\n";

// `arguments` without the program's name.
TViewerArguments parse_viewer_arguments(const QStringList& arguments);

} // namespace zel
