// A live session seen by the viewer: the 200,000 events of the sample session logged by a
// worker thread into a root with a viewer attached and shown (offscreen platform), against the
// same session with no viewer, in the same run. Measured:
// - the ratio of the total processor times (worker and GUI thread: until the viewer shows every
//   row, against until the worker is done), and of the wall-clock times for comparison;
// - the longest stall of the GUI thread's event loop: the largest gap between two turns of a
//   1 ms timer while the events arrive and are placed;
// - the memory the viewer adds per row: resident size growth with the viewer minus growth
//   without it, both from fresh pages (the trees of both runs stay alive until both are
//   measured), divided by the rows.
#include "bench/bench_timing.h"
#include "bench/sample_log.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "log/viewer/log_tree_model.h"
#include "log/viewer/log_visualizer.h"
#include "platform/process_memory.h"
#include "tools/zel-log-viewer/viewer_settle.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {

using namespace zel;
using bench::measure;
using bench::timing;

struct live_run {
    timing time;
    double stall_ms = 0;
    std::uint64_t memory = 0;
    std::int32_t rows = 0;
};

std::shared_ptr<TLogRoot> session_root() {
    auto root = TLogRoot::Create();
    root->set_header({});
    root->set_footer({});
    root->set_discard({});
    return root;
}

// Logs the sample session into `root` on a worker thread while the GUI thread turns its event
// loop with a 1 ms timer, until `done` holds after the worker ended.
template <class Done>
live_run run_session(const std::shared_ptr<TLogRoot>& root, Done&& done) {
    live_run run;
    const std::uint64_t before = platform::resident_set_size();
    run.time = measure([&] {
        std::atomic<bool> worker_done{false};
        QEventLoop loop;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(1);
        QElapsedTimer since_last;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            run.stall_ms = std::max(run.stall_ms, since_last.nsecsElapsed() / 1e6);
            since_last.start();
            if (worker_done.load() && done())
                loop.quit();
        });
        std::thread worker([&] {
            bench::log_sample_session(root);
            worker_done.store(true);
        });
        since_last.start();
        probe.start();
        loop.exec();
        worker.join();
    });
    run.memory = platform::resident_set_size() - before;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QApplication application(argc, argv);
    const TLogUnit unit;

    // The baseline first, on fresh pages; its tree stays so that the viewer's run grows fresh
    // pages too.
    const auto plain_root = session_root();
    const live_run plain = run_session(plain_root, [] { return true; });

    const auto viewed_root = session_root();
    live_run viewed;
    {
        TZelLogVisualizer viewer;
        viewer.resize(1000, 700);
        viewer.Loaded(viewed_root);
        viewer.show();
        // The first paint of the empty viewer (backing store, fonts) is not a cost per row.
        settle_viewer(viewer, 5000);
        viewed = run_session(viewed_root, [&] {
            return !viewer.LogModel()->has_work() && viewer_shows_whole_log(viewer);
        });
        std::int32_t rows = 0;
        viewer.LogModel()->for_each_row({}, [&rows](const QModelIndex&) { ++rows; });
        viewed.rows = rows;
        viewer.Clear();
    }
    viewed_root->clear_all();
    plain_root->clear_all();

    const double ratio = viewed.time.cpu_s / plain.time.cpu_s;
    const double bytes_per_row =
        (static_cast<double>(viewed.memory) - static_cast<double>(plain.memory)) /
        std::max(viewed.rows, 1);
    std::printf("events: %d from a worker thread, %d rows in the viewer\n",
                bench::sample_log_events, viewed.rows);
    std::printf("without a viewer: %.3f s (cpu %.3f s), longest event-loop stall %.1f ms\n",
                plain.time.wall_s, plain.time.cpu_s, plain.stall_ms);
    std::printf("with a viewer:    %.3f s (cpu %.3f s), longest event-loop stall %.1f ms\n",
                viewed.time.wall_s, viewed.time.cpu_s, viewed.stall_ms);
    std::printf("ratio: cpu %.2f, wall %.2f\n", ratio, viewed.time.wall_s / plain.time.wall_s);
    std::printf("memory: %.1f MB without, %.1f MB with the viewer: %.1f bytes per row\n",
                static_cast<double>(plain.memory) / 1e6, static_cast<double>(viewed.memory) / 1e6,
                bytes_per_row);
    std::printf("result: ratio=%.2f stall_ms=%.1f bytes_per_row=%.1f\n", ratio, viewed.stall_ms,
                bytes_per_row);
    return 0;
}
