// Opening a saved log in the viewer: the 200,000-event sample log loaded by the viewer shown
// (offscreen platform) until it shows every row and has painted them once, against the loader
// alone reading the same file into a log tree, in the same run. Each is the best of three; the
// ratio is of processor times (the machine may be busy with other work, which only wall-clock
// times show).
#include "bench/bench_timing.h"
#include "bench/sample_log.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "log/persistence/log_persistence.h"
#include "log/viewer/log_tree_model.h"
#include "log/viewer/log_visualizer.h"
#include "tools/zel-log-viewer/viewer_settle.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

using namespace zel;
using bench::measure;
using bench::timing;

constexpr int runs = 3;

std::shared_ptr<TLogRoot> reading_root() {
    auto root = TLogRoot::Create();
    root->set_header({});
    root->set_footer({});
    root->set_discard({});
    default_log_root = root;
    return root;
}

timing best(const timing& a, const timing& b) {
    return a.cpu_s <= b.cpu_s ? a : b;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QApplication application(argc, argv);
    QTemporaryDir dir;
    const QString file_name = dir.filePath("log_file.20240131.120000.000.log");
    install_log_persistence();
    const TLogUnit unit;
    bench::write_sample_log(file_name);

    timing loader{1e9, 1e9};
    timing viewer_open{1e9, 1e9};
    bool complete = true;
    std::int32_t rows = 0;
    for (int run = 0; run < runs; ++run) {
        {
            const auto root = reading_root();
            loader = best(loader, measure([&] {
                              ILogGroupPtr reader;
                              root->add_seeded_group(reader, GK_READER);
                              reader->LoadFromFile(file_name);
                          }));
            root->clear_all();
        }
        {
            const auto root = reading_root();
            TZelLogVisualizer viewer;
            viewer.resize(1000, 700);
            viewer.Loaded(root);
            viewer.show();
            settle_viewer(viewer, 5000); // the empty viewer's first paint
            viewer_open = best(viewer_open, measure([&] {
                                   viewer.LoadLogFromFile(file_name);
                                   complete = settle_viewer(viewer, 120000) && complete;
                                   viewer.viewport()->repaint();
                               }));
            rows = 0;
            viewer.LogModel()->for_each_row({}, [&rows](const QModelIndex&) { ++rows; });
            viewer.Clear();
            root->clear_all();
        }
    }
    default_log_root.reset();

    const double ratio = viewer_open.cpu_s / loader.cpu_s;
    std::printf("file: %d events, %d rows in the viewer\n", bench::sample_log_events, rows);
    std::printf("loader alone:           %.3f s (cpu %.3f s)\n", loader.wall_s, loader.cpu_s);
    std::printf("opened in the viewer:   %.3f s (cpu %.3f s)%s\n", viewer_open.wall_s,
                viewer_open.cpu_s, complete ? "" : " (rows still missing at the time limit)");
    std::printf("result: ratio=%.2f\n", ratio);
    return 0;
}
