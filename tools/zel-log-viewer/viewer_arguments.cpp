#include "tools/zel-log-viewer/viewer_arguments.h"

namespace zel {

TViewerArguments parse_viewer_arguments(const QStringList& arguments) {
    TViewerArguments parsed;
    bool only_paths = false;
    for (qsizetype i = 0; i < arguments.size() && parsed.error.isEmpty(); ++i) {
        const QString& argument = arguments[i];
        if (only_paths || !argument.startsWith(u'-') || argument == u"-")
            parsed.paths.append(argument);
        else if (argument == u"--")
            only_paths = true;
        else if (argument == u"--help" || argument == u"-h")
            parsed.help = true;
        else if (argument == u"--version")
            parsed.version = true;
        else if (argument == u"--screenshot" && i + 1 < arguments.size())
            parsed.screenshot = arguments[++i];
        else if (argument.startsWith(u"--screenshot=") && argument.size() > 13)
            parsed.screenshot = argument.sliced(13);
        else
            parsed.error = QStringLiteral("unknown option \"%1\"").arg(argument);
    }
    return parsed;
}

} // namespace zel
