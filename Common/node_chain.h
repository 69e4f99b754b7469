#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace zel {

// One queued item.
template <class T>
struct TLLNode {
    TLLNode* Next = nullptr;
    std::shared_ptr<T> Data;
};

// The singly linked chain behind the threaded queues, without a lock of its own: the owning
// queue holds its lock around every call. Nodes come from slabs that the chain recycles, so in
// steady use neither Enqueue nor Dequeue allocates; a new slab is allocated by the caller
// outside the lock. When the chain runs empty after a burst, it hands its slabs back for the
// caller to free outside the lock, so a burst does not pin its memory.
template <class T>
class TNodeChain {
public:
    using item_type = std::shared_ptr<T>;
    using node_type = TLLNode<T>;
    using slab_type = std::unique_ptr<node_type[]>;
    using released_slabs = std::vector<slab_type>;

    static constexpr std::size_t slab_nodes = 64;
    static constexpr std::size_t kept_slabs = 256;

    static slab_type new_slab() { return std::make_unique<node_type[]>(slab_nodes); }

    void add_slab(slab_type slab) {
        for (std::size_t i = 0; i + 1 < slab_nodes; ++i)
            slab[i].Next = &slab[i + 1];
        slab[slab_nodes - 1].Next = Ffree;
        Ffree = &slab[0];
        Fslabs.push_back(std::move(slab));
    }

    // Links the item at the tail; false (item untouched) when no free node is left.
    bool push(item_type& item) noexcept {
        node_type* node = Ffree;
        if (node == nullptr)
            return false;
        Ffree = node->Next;
        node->Next = nullptr;
        node->Data = std::move(item);
        if (FHeadNode.load(std::memory_order_relaxed) == nullptr)
            FHeadNode.store(node, std::memory_order_relaxed);
        else
            FTailNode->Next = node;
        FTailNode = node;
        return true;
    }

    // Unlinks the head and moves its item out; false when empty. When this empties a chain that
    // holds more slabs than it keeps, they all move to released (which must come in empty).
    bool pop(item_type& item, released_slabs& released) noexcept {
        node_type* head = FHeadNode.load(std::memory_order_relaxed);
        if (head == nullptr)
            return false;
        FHeadNode.store(head->Next, std::memory_order_relaxed);
        item = std::move(head->Data);
        recycle(head);
        release_if_idle(released);
        return true;
    }

    const item_type* front() const noexcept {
        const node_type* head = FHeadNode.load(std::memory_order_relaxed);
        return head == nullptr ? nullptr : &head->Data;
    }

    // May be read without the owner's lock: then it is a hint.
    bool empty() const noexcept { return FHeadNode.load(std::memory_order_relaxed) == nullptr; }

    std::int32_t count() const noexcept {
        std::int32_t n = 0;
        for (const node_type* node = FHeadNode.load(std::memory_order_relaxed); node != nullptr;
             node = node->Next)
            ++n;
        return n;
    }

    // Calls visit(item, stop) from head to tail until stop is set; returns the number of calls.
    template <class Visit>
    std::int32_t scan(Visit&& visit) {
        std::int32_t calls = 0;
        bool stop = false;
        for (node_type* node = FHeadNode.load(std::memory_order_relaxed); node != nullptr && !stop;
             node = node->Next) {
            visit(node->Data, stop);
            ++calls;
        }
        return calls;
    }

    // Calls choose(item, drop) on every item and removes those it flags; returns their number.
    template <class Choose>
    std::int32_t drop(Choose&& choose) {
        std::int32_t dropped = 0;
        node_type* previous = nullptr;
        node_type* node = FHeadNode.load(std::memory_order_relaxed);
        while (node != nullptr) {
            node_type* next = node->Next;
            bool flagged = false;
            choose(node->Data, flagged);
            if (!flagged) {
                previous = node;
            } else {
                ++dropped;
                if (node == FTailNode)
                    FTailNode = previous;
                if (previous == nullptr)
                    FHeadNode.store(next, std::memory_order_relaxed);
                else
                    previous->Next = next;
                node->Data.reset();
                recycle(node);
            }
            node = next;
        }
        return dropped;
    }

    // Releases every item; the slabs may move to released as in pop.
    void clear(released_slabs& released) noexcept {
        node_type* node = FHeadNode.exchange(nullptr, std::memory_order_relaxed);
        while (node != nullptr) {
            node_type* next = node->Next;
            node->Data.reset();
            recycle(node);
            node = next;
        }
        release_if_idle(released);
    }

private:
    void release_if_idle(released_slabs& released) noexcept {
        if (empty() && Fslabs.size() > kept_slabs) {
            Ffree = nullptr;
            released.swap(Fslabs);
        }
    }

    void recycle(node_type* node) noexcept {
        node->Next = Ffree;
        Ffree = node;
    }

    // Changed only under the owner's lock; atomic so that empty() may read it without the lock.
    std::atomic<node_type*> FHeadNode{nullptr};
    node_type* FTailNode = nullptr; // meaningful only while the chain is not empty
    node_type* Ffree = nullptr;
    std::vector<slab_type> Fslabs;
};

} // namespace zel
