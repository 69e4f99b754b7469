// Throughput of TThreadedQueueNoWait with 4 producer threads and 1 consumer, against a
// std::mutex + std::deque queue carrying the same items in the same run.
#include "Common/threaded_queue.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Item {
    int value;
};
using ItemRef = std::shared_ptr<Item>;

constexpr int producers = 4;
constexpr int per_producer = 1000000;
constexpr int runs = 7;

class BaselineQueue {
public:
    void Enqueue(ItemRef item) {
        std::scoped_lock guard(mutex_);
        items_.push_back(std::move(item));
    }

    bool Dequeue(ItemRef& item) {
        std::scoped_lock guard(mutex_);
        if (items_.empty())
            return false;
        item = std::move(items_.front());
        items_.pop_front();
        return true;
    }

private:
    std::mutex mutex_;
    std::deque<ItemRef> items_;
};

// Items per second through one queue: every producer enqueues its share, one consumer takes
// all of them.
template <class Queue>
double measure() {
    Queue queue;
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    threads.reserve(producers);
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([&queue, p] {
            const auto item = std::make_shared<Item>(Item{p});
            for (int i = 0; i < per_producer; ++i)
                queue.Enqueue(item);
        });
    long long sum = 0;
    ItemRef item;
    for (int received = 0; received < producers * per_producer;) {
        if (!queue.Dequeue(item)) {
            std::this_thread::yield();
            continue;
        }
        sum += item->value;
        ++received;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    for (auto& thread : threads)
        thread.join();
    if (sum != 1LL * per_producer * (0 + 1 + 2 + 3))
        std::fprintf(stderr, "lost items\n");
    return producers * per_producer / elapsed.count();
}

} // namespace

int main() {
    std::vector<double> ours;
    std::vector<double> baseline;
    for (int run = 0; run < runs; ++run) {
        ours.push_back(measure<zel::TThreadedQueueNoWait<Item>>());
        baseline.push_back(measure<BaselineQueue>());
        std::printf("run %d: TThreadedQueueNoWait %.0f items/s, mutex+deque %.0f items/s\n",
                    run + 1, ours.back(), baseline.back());
    }
    // The median of the runs damps the noise of a shared machine.
    std::sort(ours.begin(), ours.end());
    std::sort(baseline.begin(), baseline.end());
    const double ours_median = ours[runs / 2];
    const double baseline_median = baseline[runs / 2];
    std::printf("%d producers, 1 consumer, %d items per run (median of %d runs)\n", producers,
                producers * per_producer, runs);
    std::printf("result: ours_items_s=%.0f baseline_items_s=%.0f ratio=%.2f\n", ours_median,
                baseline_median, ours_median / baseline_median);
    return 0;
}
