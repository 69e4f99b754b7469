#pragma once

#include "Common/block_chain.h"
#include "Common/critical_section.h"
#include "Common/wait.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace zel {

// Called on queued items by Scan and Scan_drop. The flag is false when the callable is entered
// for the first item; what setting it means depends on the scan.
template <class T>
using TQueueScanProc = std::function<void(std::shared_ptr<T>& item, bool& flag)>;

// Appends an item to a chain under lock, allocating a block outside the lock when the chain has
// no room left.
template <class T>
void enqueue_locked(TCriticalSection& lock, TBlockChain<T>& chain, std::shared_ptr<T>& item) {
    std::unique_lock guard(lock);
    if (chain.push(item))
        return;
    guard.unlock();
    auto block = TBlockChain<T>::new_block();
    guard.lock();
    chain.add_block(std::move(block));
    chain.push(item);
}

// Moves the head item of a chain into `item`; false (`item` untouched) when the chain is empty.
// Only pointer moves happen under the lock: a spent block and the reference `item` held before
// are released after it.
template <class T>
bool dequeue_locked(TCriticalSection& lock, TBlockChain<T>& chain, std::shared_ptr<T>& item) {
    std::shared_ptr<T> taken;
    typename TBlockChain<T>::block_ptr spent;
    {
        std::scoped_lock guard(lock);
        if (!chain.pop(taken, spent))
            return false;
    }
    item = std::move(taken);
    return true;
}

// An unbounded first-in first-out queue of shared references whose operations never wait for
// items. The lock is held for a few pointer moves; items leave the queue and are released
// outside it, except in Scan_drop and Clear.
template <class T>
class TThreadedQueueNoWait {
public:
    using item_type = std::shared_ptr<T>;

    void Enqueue(item_type Item) { enqueue_locked(FCriticalSection, Fchain, Item); }

    // Hands the head item over; false (Item untouched) when empty.
    bool Dequeue(item_type& Item) { return dequeue_locked(FCriticalSection, Fchain, Item); }

    // Removes and releases the head item; false when empty.
    bool Dequeue() {
        item_type dropped;
        return Dequeue(dropped);
    }

    // Copies the head item without removing it; false (Item untouched) when empty.
    bool Peek(item_type& Item) {
        std::scoped_lock guard(FCriticalSection);
        const item_type* head = Fchain.front();
        if (head == nullptr)
            return false;
        Item = *head;
        return true;
    }

    // Calls scan_proc from head to tail until it sets the flag; returns the number of calls.
    // scan_proc runs under the queue's lock.
    std::int32_t Scan(const TQueueScanProc<T>& scan_proc) {
        std::scoped_lock guard(FCriticalSection);
        return Fchain.scan(scan_proc);
    }

    // Calls scan_proc on every item from head to tail and removes each item for which it sets
    // the flag; returns the number removed. scan_proc runs under the queue's lock.
    std::int32_t Scan_drop(const TQueueScanProc<T>& scan_proc) {
        std::scoped_lock guard(FCriticalSection);
        return Fchain.drop(scan_proc);
    }

    // Reads without the lock: a hint unless no other thread changes the queue.
    bool empty() const noexcept { return Fchain.empty(); }

    void Clear() {
        std::scoped_lock guard(FCriticalSection);
        Fchain.clear();
    }

    std::int32_t Getcount() {
        std::scoped_lock guard(FCriticalSection);
        return Fchain.count();
    }

private:
    TBlockChain<T> Fchain;
    TCriticalSection FCriticalSection;
};

// An unbounded first-in first-out queue of shared references whose Dequeue waits for an item.
// The semaphore counts the items that no Dequeue has claimed yet, so any number of consumers
// may wait at once and each Enqueue lets exactly one through.
template <class T>
class TThreadedQueueLinkedList {
public:
    using item_type = std::shared_ptr<T>;

    void Enqueue(item_type Item) {
        enqueue_locked(FCriticalSection, Fchain, Item);
        FSemaphore.release();
    }

    // Waits up to Timeout milliseconds (infinite_timeout: no limit) for an item; takes it only
    // when the wait ends signalled and returns the wait's outcome either way.
    TWaitResult Dequeue(item_type& Item, std::uint32_t Timeout) {
        const TWaitResult result = wait_for(FSemaphore, Timeout);
        if (result == TWaitResult::wrSignaled)
            dequeue_locked(FCriticalSection, Fchain, Item); // the semaphore's unit guarantees one
        return result;
    }

private:
    TCriticalSection FCriticalSection;
    TBlockChain<T> Fchain;
    TSemaphore FSemaphore{0};
};

} // namespace zel
