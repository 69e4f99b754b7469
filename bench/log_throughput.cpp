// Events per second of log_add into a root with no storage, from one thread and from four
// threads at once, and the memory each event of 40 characters keeps (resident size growth over
// 1,000,000 events). The baseline, measured in the same run, is the least a thread-safe
// in-memory log does: a mutex and a vector of records holding a tick, a kind and the text.
// Each rate is the best of three runs.
#include "log/core/log_procedures.h"
#include "log/core/log_root.h"
#include "log/core/log_unit.h"
#include "platform/process_info.h"
#include "platform/process_memory.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace zel;

constexpr int events = 1'000'000;
constexpr int runs = 3;

// A 40-character message with the number in its last digits, as a caller would build it.
QString message(int thread, int number) {
    static const QString pattern = QStringLiteral("worker 0 wrote the record number 0000000");
    QString text = pattern;
    text[7] = QChar(u'0' + thread);
    for (int position = text.size() - 1; number > 0; --position, number /= 10)
        text[position] = QChar(u'0' + number % 10);
    return text;
}

struct TBaselineRecord {
    std::int64_t ticks;
    std::uint32_t thread_id;
    Tlog_kind kind;
    QString text;
};

class TBaselineLog {
public:
    void add(Tlog_kind kind, const QString& text) {
        TBaselineRecord record{read_ticks(), platform::current_thread_id(), kind, text};
        std::scoped_lock guard(Flock);
        Frecords.push_back(std::move(record));
    }

private:
    std::mutex Flock;
    std::vector<TBaselineRecord> Frecords;
};

// Events per second of `threads` threads adding events / threads messages each with `add`.
template <class Add>
double measure(int threads, Add&& add) {
    const int share = events / threads;
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < share; ++i)
                add(message(t, i));
        });
    for (std::thread& worker : workers)
        worker.join();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return share * threads / elapsed.count();
}

std::shared_ptr<TLogRoot> fresh_root() {
    auto root = TLogRoot::Create();
    default_log_root = root;
    return root;
}

} // namespace

int main() {
    TLogUnit log_unit;
    double t1 = 0;
    double t4 = 0;
    double baseline = 0;
    double bytes_per_event = 0;
    for (int run = 0; run < runs; ++run) {
        {
            const auto root = fresh_root();
            const std::uint64_t before = platform::resident_set_size();
            t1 = std::max(t1, measure(1, [](const QString& text) { log_add(LK_INFO, text); }));
            const std::uint64_t after = platform::resident_set_size();
            // Only the first run grows from fresh memory; later ones reuse what it freed.
            if (run == 0)
                bytes_per_event = static_cast<double>(after - before) / events;
            root->clear_entries();
        }
        {
            const auto root = fresh_root();
            t4 = std::max(t4, measure(4, [](const QString& text) { log_add(LK_INFO, text); }));
            root->clear_entries();
        }
        {
            TBaselineLog log;
            baseline = std::max(
                baseline, measure(1, [&log](const QString& text) { log.add(LK_INFO, text); }));
        }
    }
    default_log_root.reset();
    std::printf("log_add, 1 thread:        %12.0f events/s\n", t1);
    std::printf("log_add, 4 threads:       %12.0f events/s (%.2fx one thread)\n", t4, t4 / t1);
    std::printf("memory per event:         %12.1f bytes (40-character texts)\n", bytes_per_event);
    std::printf("baseline (mutex, vector): %12.0f events/s\n", baseline);
    std::printf("result: t1_events_s=%.0f t4_events_s=%.0f bytes_per_event=%.1f "
                "baseline_events_s=%.0f ratio=%.2f\n",
                t1, t4, bytes_per_event, baseline, t1 / baseline);
    return 0;
}
