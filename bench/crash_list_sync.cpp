// Crash-list registration under contention: 4 threads each register and unregister crash logs
// on one root (every step rewrites the shared ".crashlist" file under its cross-process lock),
// against a baseline that does the same file work by hand (lock, read, rewrite, unlock) with
// the same number of lines in the same run.
#include "log/diagnostics/crash_list_sync.h"

#include "bench/bench_timing.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "log/diagnostics/log_diagnostics.h"
#include "platform/file_lock.h"
#include "tests/log_diagnostics/stub_crash_storage.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using namespace zel;

constexpr int threads = 4;
constexpr int cycles_per_thread = 500;
constexpr int runs = 5;

// Wall-clock milliseconds: the threads' waits on the lock are part of the cost.
template <class Cycle>
double run_threads(Cycle&& cycle) {
    const bench::timing timing = bench::measure([&] {
        std::vector<std::thread> workers;
        workers.reserve(threads);
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&, t] {
                for (int i = 0; i < cycles_per_thread; ++i)
                    cycle(t, i);
            });
        for (std::thread& worker : workers)
            worker.join();
    });
    return 1000.0 * timing.wall_s;
}

double ours(const QString& folder) {
    const std::shared_ptr<TLogRoot> root = TLogRoot::Create();
    root->set_location(KF_ABSOLUTE);
    root->set_path(folder);
    root->set_crashlist_name(QStringLiteral("bench_ours"));
    const double ms = run_threads([&](int t, int i) {
        const ILogStoragePtr storage = std::make_shared<TStubCrashStorage>(
            folder + QStringLiteral("/t%1_%2.log").arg(t).arg(i));
        root->register_crash(storage);
        root->unregister_crash(storage);
    });
    root->clear_all();
    return ms;
}

// One step of the file work the crash list does: lock, read the lines, rewrite the file whole.
void baseline_step(const QString& list_file, const QString& lock_file, const QByteArray& line,
                   bool adding) {
    platform::file_lock lock(QFile::encodeName(lock_file).toStdString());
    lock.lock();
    QFile file(list_file);
    file.open(QIODevice::ReadWrite);
    QByteArray text = file.readAll();
    if (adding)
        text += line;
    else
        text.replace(line, QByteArray());
    file.seek(0);
    file.write(text);
    file.resize(text.size());
}

double baseline(const QString& folder) {
    const QString list_file = folder + QStringLiteral("/bench_baseline.crashlist");
    const QString lock_file = crash_list_lock_path(list_file);
    return run_threads([&](int t, int i) {
        const QByteArray line = QStringLiteral("crash_list_sync:1=%1/t%2_%3.log\r\n")
                                    .arg(folder)
                                    .arg(t)
                                    .arg(i)
                                    .toUtf8();
        baseline_step(list_file, lock_file, line, true);
        baseline_step(list_file, lock_file, line, false);
    });
}

} // namespace

int main() {
    const TLogUnit unit;
    install_log_diagnostics();
    QTemporaryDir folder;
    std::vector<double> ours_ms;
    std::vector<double> baseline_ms;
    for (int run = 0; run < runs; ++run) {
        ours_ms.push_back(ours(folder.path()));
        baseline_ms.push_back(baseline(folder.path()));
    }
    std::sort(ours_ms.begin(), ours_ms.end());
    std::sort(baseline_ms.begin(), baseline_ms.end());
    const double ours_median = ours_ms[runs / 2];
    const double baseline_median = baseline_ms[runs / 2];
    const double steps = 2.0 * threads * cycles_per_thread;
    std::printf("%d threads x %d register/unregister cycles on one crash list, median of %d runs\n",
                threads, cycles_per_thread, runs);
    std::printf("crash list: %.1f ms (%.0f steps/s)\n", ours_median, steps / ours_median * 1000.0);
    std::printf("baseline (lock, read, rewrite by hand): %.1f ms (%.0f steps/s)\n", baseline_median,
                steps / baseline_median * 1000.0);
    std::printf("result: ours_ms=%.1f baseline_ms=%.1f ratio=%.2f\n", ours_median, baseline_median,
                ours_median / baseline_median);
    return 0;
}
