#pragma once

#include <memory>
#include <thread>
#include <vector>

namespace zel::test {

// What the list and queue tests store: told apart by identity, recognised by id.
struct Item {
    int id;
};
using ItemRef = std::shared_ptr<Item>;

inline ItemRef item(int id) {
    return std::make_shared<Item>(Item{id});
}

// Starts threads that each enqueue per_producer items, producer p the ids
// p * per_producer + 0, 1, ... in order.
template <class Queue>
std::vector<std::thread> start_producers(Queue& queue, int producers, int per_producer) {
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(producers));
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([&queue, p, per_producer] {
            for (int i = 0; i < per_producer; ++i)
                queue.Enqueue(item(p * per_producer + i));
        });
    return threads;
}

} // namespace zel::test
