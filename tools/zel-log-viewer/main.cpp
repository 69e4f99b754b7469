#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "log/persistence/log_persistence.h"
#include "log/support/module_version.h"
#include "tools/zel-log-viewer/log_viewer_window.h"
#include "tools/zel-log-viewer/viewer_arguments.h"
#include "tools/zel-log-viewer/viewer_settle.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

namespace {

constexpr int screenshot_settle_ms = 60000;

} // namespace

int main(int argc, char** argv) {
    // The command line is read before the window system is reached, so that --help, --version
    // and mistakes are answered without a display.
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words.append(QString::fromLocal8Bit(argv[i]));
    const zel::TViewerArguments arguments = zel::parse_viewer_arguments(words);
    if (!arguments.error.isEmpty()) {
        std::fprintf(stderr, "zel-log-viewer: %s\n%s", qPrintable(arguments.error),
                     zel::viewer_usage);
        return 2;
    }
    if (arguments.help) {
        std::fputs(zel::viewer_usage, stdout);
        return 0;
    }
    if (arguments.version) {
        std::printf("zel-log-viewer %s\n",
                    qPrintable(zel::get_file_version_dotted(QString(), "unknown")));
        return 0;
    }
    // A screenshot needs no screen.
    if (!arguments.screenshot.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zel-log-viewer"));

    // The logs opened are read below the program's own root, which gives loaded events their
    // times; the unit releases the tree at the end, after the window.
    const zel::TLogUnit unit;
    zel::install_log_persistence();
    const auto root = zel::TLogRoot::Create();
    root->set_header({});
    root->set_footer({});
    root->set_discard({});
    zel::default_log_root = root;

    zel::TLogViewerWindow window(root);
    window.show();
    window.open(arguments.paths);
    if (!arguments.screenshot.isEmpty()) {
        if (!zel::settle_viewer(window.viewer(), screenshot_settle_ms))
            std::fprintf(stderr, "zel-log-viewer: the rows were not all placed in time\n");
        if (!window.grab().save(arguments.screenshot, "PNG")) {
            std::fprintf(stderr, "zel-log-viewer: cannot write \"%s\"\n",
                         qPrintable(arguments.screenshot));
            return 1;
        }
        return 0;
    }
    return QApplication::exec();
}
