// Crash-list registration under contention: 4 threads each register and unregister crash logs
// on one root (every step rewrites the shared ".crashlist" file under its cross-process lock),
// against a baseline that does the same file work by hand (lock, read, rewrite, unlock) with
// the same number of lines in the same run.
#include "log/diagnostics/crash_list_sync.h"

#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "log/diagnostics/log_diagnostics.h"
#include "platform/file_lock.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using namespace zel;

constexpr int threads = 4;
constexpr int cycles_per_thread = 500;
constexpr int runs = 5;

// Just enough of a storage for the crash list: a crash log with a file name.
class bench_storage : public ILogStorage {
public:
    explicit bench_storage(QString name)
        : Fname(std::move(name)) {}
    bool crash_log() const override { return true; }
    QString fq_filename() const override { return Fname; }
    std::int32_t decoration_padding() const override { return 0; }
    QString decoration_pattern() const override { return {}; }
    Tlog_kinds discard() const override { return {}; }
    bool enabled() const override { return true; }
    QString event_header() const override { return {}; }
    QString file_name() const override { return {}; }
    double flush_interval() const override { return 0; }
    Tlog_kinds flush_on() const override { return {}; }
    ILogGroupPtr group() const override { return {}; }
    std::int32_t group_indent() const override { return 0; }
    bool most_recent_first() const override { return true; }
    TOnSelectLogEvent on_select() const override { return {}; }
    bool use_locale() const override { return false; }
    void set_crash_log(bool) override {}
    void set_decoration_padding(std::int32_t) override {}
    void set_decoration_pattern(const QString&) override {}
    void set_discard(Tlog_kinds) override {}
    void set_enabled(bool) override {}
    void set_event_header(const QString&) override {}
    void set_file_name(const QString&) override {}
    void set_flush_interval(double) override {}
    void set_flush_on(Tlog_kinds) override {}
    void set_group(const ILogGroupPtr&) override {}
    void set_group_indent(std::int32_t) override {}
    void set_most_recent_first(bool) override {}
    void set_on_select(TOnSelectLogEvent) override {}
    void set_use_locale(bool) override {}
    void set_fq_filename(const QString&) override {}
    bool write_event(const ILogEventPtr&) override { return false; }
    void assign_settings(const ILogStoragePtr&) override {}
    void preset_crashlog(const QString&) override {}

private:
    QString Fname;
};

template <class Work>
double timed_ms(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

template <class Cycle>
double run_threads(Cycle&& cycle) {
    return timed_ms([&] {
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&, t] {
                for (int i = 0; i < cycles_per_thread; ++i)
                    cycle(t, i);
            });
        for (std::thread& worker : workers)
            worker.join();
    });
}

double ours(const QString& folder) {
    const std::shared_ptr<TLogRoot> root = TLogRoot::Create();
    root->set_location(KF_ABSOLUTE);
    root->set_path(folder);
    root->set_crashlist_name(QStringLiteral("bench_ours"));
    const double ms = run_threads([&](int t, int i) {
        const ILogStoragePtr storage =
            std::make_shared<bench_storage>(folder + QStringLiteral("/t%1_%2.log").arg(t).arg(i));
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
    const QString lock_file = crash_list_lock_path(QStringLiteral("bench_baseline"));
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
