#include "Common/threaded_queue.h"
#include "tests/common/test_item.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <thread>
#include <vector>

namespace zel {
namespace {

using test::Item;
using test::item;
using test::ItemRef;

constexpr auto bound = std::chrono::seconds(10);

// Empties the queue and returns the ids in queue order.
std::vector<int> drain(TThreadedQueueNoWait<Item>& queue) {
    std::vector<int> ids;
    ItemRef entry;
    while (queue.Dequeue(entry))
        ids.push_back(entry->id);
    return ids;
}

void fill(TThreadedQueueNoWait<Item>& queue, const std::vector<int>& ids) {
    for (const int id : ids)
        queue.Enqueue(item(id));
}

TEST(ThreadedQueueNoWait, EmptyQueueLeavesTheCallersItemUntouched) {
    TThreadedQueueNoWait<Item> queue;
    const auto mine = item(7);
    ItemRef out = mine;
    EXPECT_FALSE(queue.Dequeue(out));
    EXPECT_FALSE(queue.Peek(out));
    EXPECT_FALSE(queue.Dequeue());
    EXPECT_EQ(out, mine);
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(queue.Getcount(), 0);
}

TEST(ThreadedQueueNoWait, FirstInFirstOutAndANewChainAfterEmptying) {
    TThreadedQueueNoWait<Item> queue;
    fill(queue, {1, 2});
    ItemRef head;
    ASSERT_TRUE(queue.Peek(head));
    EXPECT_EQ(head->id, 1);
    EXPECT_EQ(queue.Getcount(), 2);
    EXPECT_TRUE(queue.Dequeue());
    EXPECT_EQ(drain(queue), (std::vector<int>{2}));
    EXPECT_TRUE(queue.empty());

    fill(queue, {3, 4});
    EXPECT_FALSE(queue.empty());
    EXPECT_EQ(drain(queue), (std::vector<int>{3, 4}));
}

TEST(ThreadedQueueNoWait, ScanStopsWhenTheFlagIsSet) {
    TThreadedQueueNoWait<Item> queue;
    fill(queue, {1, 2, 3, 4, 5});
    std::vector<int> visited;
    bool first_flag = true;
    const auto calls = queue.Scan([&](ItemRef& entry, bool& stop) {
        if (visited.empty())
            first_flag = stop;
        visited.push_back(entry->id);
        stop = entry->id == 3;
    });
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(first_flag);
    EXPECT_EQ(visited, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(queue.Scan([](ItemRef&, bool&) {}), 5);
    EXPECT_EQ(queue.Getcount(), 5);
}

TEST(ThreadedQueueNoWait, ScanDropUnlinksAndKeepsTheTailRight) {
    struct Case {
        std::vector<int> queued;
        std::vector<int> dropped;
        std::vector<int> after_enqueue_of_9;
    };
    const std::vector<Case> cases = {
        {{1, 2, 3}, {3}, {1, 2, 9}},   // the tail: the previous item becomes the tail
        {{1, 2, 3}, {1}, {2, 3, 9}},   // the head
        {{1, 2, 3}, {2}, {1, 3, 9}},   // the middle
        {{1, 2, 3}, {2, 3}, {1, 9}},   // the last two
        {{1, 2, 3}, {1, 2, 3}, {9}},   // everything: an empty queue
        {{1, 2, 3}, {}, {1, 2, 3, 9}}, // nothing
        {{1}, {1}, {9}},
    };
    for (const auto& c : cases) {
        TThreadedQueueNoWait<Item> queue;
        fill(queue, c.queued);
        std::vector<std::weak_ptr<Item>> released;
        const auto count = queue.Scan_drop([&](ItemRef& entry, bool& drop) {
            EXPECT_FALSE(drop);
            drop = std::find(c.dropped.begin(), c.dropped.end(), entry->id) != c.dropped.end();
            if (drop)
                released.emplace_back(entry);
        });
        EXPECT_EQ(count, static_cast<std::int32_t>(c.dropped.size()));
        for (const auto& weak : released)
            EXPECT_TRUE(weak.expired());
        EXPECT_EQ(queue.empty(), c.dropped.size() == c.queued.size());
        queue.Enqueue(item(9));
        EXPECT_EQ(drain(queue), c.after_enqueue_of_9);
    }
}

// Items live in blocks of slots; dropping must keep the order across block boundaries and leave
// a tail that the next Enqueue continues from.
TEST(ThreadedQueueNoWait, ScanDropAcrossBlocksKeepsTheOrder) {
    constexpr int block = static_cast<int>(TBlockChain<Item>::slot_count);
    const std::vector<std::pair<int, std::function<bool(int)>>> cases = {
        {3 * block + 5, [](int id) { return id % 3 == 0; }},
        {3 * block + 5, [](int id) { return id < block; }},          // the head block
        {3 * block + 5, [](int id) { return id >= 2 * block - 1; }}, // the tail blocks
        {2 * block, [](int id) { return id != 2 * block - 1; }},     // all but the last
        {2 * block, [](int id) { return id >= block; }},             // a full block stays
        {2 * block + 1, [](int) { return true; }},                   // everything
    };
    for (const auto& c : cases) {
        const int queued = c.first;
        const auto& drop = c.second;
        TThreadedQueueNoWait<Item> queue;
        std::vector<int> expected;
        for (int id = 0; id < queued; ++id) {
            queue.Enqueue(item(id));
            if (!drop(id))
                expected.push_back(id);
        }
        ItemRef head; // a consumed head moves the start of the first block
        ASSERT_TRUE(queue.Dequeue(head));
        if (!drop(0))
            expected.erase(expected.begin());
        const auto dropped =
            queue.Scan_drop([&](ItemRef& entry, bool& flag) { flag = drop(entry->id); });
        EXPECT_EQ(dropped, queued - 1 - static_cast<int>(expected.size()));
        EXPECT_EQ(queue.Getcount(), static_cast<std::int32_t>(expected.size()));
        expected.push_back(-1);
        queue.Enqueue(item(-1));
        EXPECT_EQ(drain(queue), expected);
    }
}

TEST(ThreadedQueueNoWait, ClearAndDestructionReleaseTheItems) {
    std::vector<std::weak_ptr<Item>> watched;
    {
        TThreadedQueueNoWait<Item> queue;
        for (int id = 0; id < 3; ++id) {
            const auto entry = item(id);
            watched.emplace_back(entry);
            queue.Enqueue(entry);
        }
        queue.Clear();
        EXPECT_TRUE(queue.empty());
        for (const auto& weak : watched)
            EXPECT_TRUE(weak.expired());

        const auto entry = item(3);
        watched.assign(1, entry);
        queue.Enqueue(entry);
        EXPECT_EQ(queue.Getcount(), 1);
    }
    EXPECT_TRUE(watched[0].expired());
}

TEST(ThreadedQueueNoWait, ABurstBeyondTheKeptBlocksDrainsAndRefills) {
    constexpr int burst =
        static_cast<int>(TBlockChain<Item>::kept_blocks * TBlockChain<Item>::slot_count) * 3 + 7;
    TThreadedQueueNoWait<Item> queue;
    const auto watched = item(-1);
    for (int round = 0; round < 2; ++round) {
        for (int id = 0; id < burst; ++id)
            queue.Enqueue(id == burst / 2 ? watched : item(id));
        EXPECT_EQ(queue.Getcount(), burst);
        ItemRef out;
        for (int id = 0; id < burst; ++id) {
            ASSERT_TRUE(queue.Dequeue(out));
            ASSERT_EQ(out->id, id == burst / 2 ? -1 : id);
        }
        EXPECT_TRUE(queue.empty());
        out.reset();
        EXPECT_EQ(watched.use_count(), 1);
    }
}

TEST(ThreadedQueueNoWait, ProducersKeepTheirOrderThroughOneConsumer) {
    constexpr int producers = 4;
    constexpr int per_producer = 2000;
    TThreadedQueueNoWait<Item> queue;
    auto threads = test::start_producers(queue, producers, per_producer);

    std::vector<int> next(producers, 0);
    int received = 0;
    ItemRef entry;
    while (received < producers * per_producer) {
        if (!queue.Dequeue(entry)) {
            std::this_thread::yield();
            continue;
        }
        const int p = entry->id / per_producer;
        EXPECT_EQ(entry->id % per_producer, next[static_cast<std::size_t>(p)]++);
        ++received;
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_TRUE(queue.empty());
}

TEST(ThreadedQueueLinkedList, EmptyQueueTimesOutAndLeavesTheItem) {
    TThreadedQueueLinkedList<Item> queue;
    const auto mine = item(7);
    for (const std::uint32_t timeout : {0U, 20U}) {
        ItemRef out = mine;
        EXPECT_EQ(queue.Dequeue(out, timeout), TWaitResult::wrTimeout) << timeout;
        EXPECT_EQ(out, mine);
    }
}

TEST(ThreadedQueueLinkedList, QueuedItemsAreTakenInOrderWithoutWaiting) {
    TThreadedQueueLinkedList<Item> queue;
    queue.Enqueue(item(1));
    queue.Enqueue(nullptr); // a null reference is an ordinary item
    queue.Enqueue(item(2));
    ItemRef out;
    ASSERT_EQ(queue.Dequeue(out, 0), TWaitResult::wrSignaled);
    EXPECT_EQ(out->id, 1);
    ASSERT_EQ(queue.Dequeue(out, 0), TWaitResult::wrSignaled);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(queue.Dequeue(out, infinite_timeout), TWaitResult::wrSignaled);
    EXPECT_EQ(out->id, 2);
    EXPECT_EQ(queue.Dequeue(out, 0), TWaitResult::wrTimeout);
}

TEST(ThreadedQueueLinkedList, InfiniteDequeueWaitsForAnEnqueue) {
    TThreadedQueueLinkedList<Item> queue;
    std::promise<void> waiting;
    auto taken = std::async(std::launch::async, [&] {
        waiting.set_value();
        ItemRef out;
        const auto result = queue.Dequeue(out, infinite_timeout);
        return result == TWaitResult::wrSignaled && out ? out->id : -1;
    });
    waiting.get_future().wait();
    queue.Enqueue(item(5));
    ASSERT_EQ(taken.wait_for(bound), std::future_status::ready);
    EXPECT_EQ(taken.get(), 5);
}

TEST(ThreadedQueueLinkedList, EveryItemReachesExactlyOneOfManyConsumers) {
    constexpr int consumers = 3;
    constexpr int producers = 3;
    constexpr int per_producer = 1000;
    TThreadedQueueLinkedList<Item> queue;
    std::vector<std::future<std::vector<int>>> taken;
    for (int c = 0; c < consumers; ++c)
        taken.push_back(std::async(std::launch::async, [&queue] {
            std::vector<int> ids;
            ItemRef out;
            while (queue.Dequeue(out, infinite_timeout) == TWaitResult::wrSignaled && out)
                ids.push_back(out->id);
            return ids;
        }));
    auto threads = test::start_producers(queue, producers, per_producer);
    for (auto& thread : threads)
        thread.join();
    for (int c = 0; c < consumers; ++c)
        queue.Enqueue(nullptr); // one stop signal per consumer

    std::vector<int> seen(producers * per_producer, 0);
    for (auto& result : taken) {
        ASSERT_EQ(result.wait_for(bound), std::future_status::ready);
        for (const int id : result.get())
            ++seen[static_cast<std::size_t>(id)];
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), producers * per_producer);
}

} // namespace
} // namespace zel
