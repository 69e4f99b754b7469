#pragma once

#include "Common/critical_section.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <mutex>
#include <vector>

namespace zel {

// What happened to an item, as told to TZelList::Notify.
enum class TListNotification : std::int32_t { lnAdded = 0, lnDeleted = 2 };

template <class T>
class TZelEnumerator;

template <class T>
class TZelListIterator;

// A list of shared references that any thread may use at once. Items are compared by identity
// (the same pointer); an item added twice is stored twice. Every operation runs under the list's
// re-entrant lock; a caller makes several operations one atomic step with lock() ... unlock()
// (the list is Lockable, so std::scoped_lock works too).
template <class T>
class TZelList {
public:
    using item_type = std::shared_ptr<T>;

    TZelList() = default;
    TZelList(const TZelList&) = delete;
    TZelList& operator=(const TZelList&) = delete;
    // Releases every item. Overrides of Notify are not reached from here: the derived part of
    // the object is already gone (no class overrides it anyway).
    virtual ~TZelList() { clear(); }

    // Appends the item and returns the index it got.
    std::int32_t Add(const item_type& item) {
        std::scoped_lock guard(FLock);
        const std::int32_t n = FCount.load(std::memory_order_relaxed);
        if (n == FCapacity)
            Grow();
        FList[static_cast<std::size_t>(n)] = item;
        Notify(item, TListNotification::lnAdded);
        FCount.store(n + 1, std::memory_order_relaxed);
        return n;
    }

    item_type First() const { return GetItems(0); }

    item_type Last() const {
        std::scoped_lock guard(FLock);
        return GetItems(Count() - 1);
    }

    // The item at index, or the off-range value (empty) when index is not below Count.
    item_type GetItems(std::int32_t index) const {
        std::scoped_lock guard(FLock);
        if (!InRange(index))
            return FOffRange;
        return FList[static_cast<std::size_t>(index)];
    }

    // Replaces the item at index; an index out of range is ignored.
    void SetItems(std::int32_t index, const item_type& item) {
        std::scoped_lock guard(FLock);
        if (!InRange(index))
            return;
        item_type& slot = FList[static_cast<std::size_t>(index)];
        if (SameItem(slot, item))
            return;
        const item_type old = std::move(slot);
        slot = item;
        Notify(old, TListNotification::lnDeleted);
        Notify(item, TListNotification::lnAdded);
    }

    // First index holding this very reference, or -1.
    virtual std::int32_t IndexOf(const item_type& item) const {
        std::scoped_lock guard(FLock);
        const std::int32_t count = Count();
        for (std::int32_t i = 0; i < count; ++i)
            if (SameItem(FList[static_cast<std::size_t>(i)], item))
                return i;
        return -1;
    }

    // Removes every item (notified last first) and frees the storage.
    void clear() {
        std::scoped_lock guard(FLock);
        SetCount(0);
        SetCapacity(0);
    }

    void lock() const { FLock.lock(); }
    bool try_lock() const { return FLock.try_lock(); }
    void unlock() const { FLock.unlock(); }

    // Number of items. Read without the lock: outside a lock() ... unlock() bracket it is a hint.
    std::int32_t Count() const noexcept { return FCount.load(std::memory_order_relaxed); }

    std::int32_t Capacity() const {
        std::scoped_lock guard(FLock);
        return FCapacity;
    }

    // The mode of the enumerators created from now on: true holds the lock for an
    // enumerator's whole life, false (the default) only for each step.
    bool locked_enum() const noexcept { return Flocked_enum.load(std::memory_order_relaxed); }

    void Setlocked_enum(bool value) {
        std::scoped_lock guard(FLock);
        Flocked_enum.store(value, std::memory_order_relaxed);
    }

    std::unique_ptr<TZelEnumerator<T>> GetEnumerator() {
        return std::make_unique<TZelEnumerator<T>>(*this);
    }

    // Range-for walks the list with an enumerator in the list's current mode.
    TZelListIterator<T> begin() { return TZelListIterator<T>(*this); }
    std::default_sentinel_t end() const noexcept { return {}; }

protected:
    // Enlarges the storage: by 4 up to 8 slots, by 16 up to 64, then by a quarter.
    virtual void Grow() {
        const std::int32_t capacity = FCapacity;
        std::int32_t delta = 4;
        if (capacity > 64)
            delta = capacity / 4;
        else if (capacity > 8)
            delta = 16;
        SetCapacity(capacity + delta);
    }

    // Called with the lock held after an item entered or before a removed item is released.
    virtual void Notify(const item_type& item, TListNotification action) {
        static_cast<void>(item);
        static_cast<void>(action);
    }

    // Resizes the storage; a size below the count is ignored.
    void SetCapacity(std::int32_t n) {
        std::scoped_lock guard(FLock);
        if (n < Count() || n == FCapacity)
            return;
        if (static_cast<std::size_t>(n) > FList.size()) {
            FList.reserve(static_cast<std::size_t>(n));
            FList.resize(static_cast<std::size_t>(n));
        } else {
            FList.resize(static_cast<std::size_t>(n));
            FList.shrink_to_fit();
        }
        FCapacity = n;
    }

    // Shrinking notifies the items from the last down; their slots keep the references until
    // SetCapacity trims them.
    void SetCount(std::int32_t n) {
        std::scoped_lock guard(FLock);
        n = std::max(n, 0);
        const std::int32_t count = Count();
        if (n == count)
            return;
        if (n > FCapacity)
            SetCapacity(n);
        for (std::int32_t i = count - 1; i >= n; --i) {
            FCount.store(i, std::memory_order_relaxed);
            Notify(FList[static_cast<std::size_t>(i)], TListNotification::lnDeleted);
        }
        FCount.store(n, std::memory_order_relaxed);
    }

    static bool SameItem(const item_type& a, const item_type& b) noexcept {
        return a.get() == b.get();
    }

    bool InRange(std::int32_t index) const noexcept { return index >= 0 && index < Count(); }

    mutable TCriticalSection FLock;
    std::vector<item_type> FList; // its size is the capacity; slots from Count() on are empty
    item_type FOffRange;          // what an index out of range yields
    std::atomic<std::int32_t> FCount{0};
    std::int32_t FCapacity = 0;
    std::atomic<bool> Flocked_enum{false};
};

// TZelList with removal by item and by index.
template <class T>
class TZelInterfaceList : public TZelList<T> {
public:
    using typename TZelList<T>::item_type;

    // Removes the first occurrence; returns its former index, or -1 when absent.
    std::int32_t Remove(const item_type& item) {
        std::scoped_lock guard(this->FLock);
        const std::int32_t i = this->IndexOf(item);
        if (i >= 0)
            Delete(i);
        return i;
    }

    // Removes the item at index and shifts the rest down; an index out of range is ignored.
    // The item is released only after Notify has seen it.
    void Delete(std::int32_t index) {
        std::scoped_lock guard(this->FLock);
        if (!this->InRange(index))
            return;
        auto& list = this->FList;
        const auto at = static_cast<std::ptrdiff_t>(index);
        const item_type kept = std::move(list[static_cast<std::size_t>(index)]);
        const std::int32_t count = this->Count() - 1;
        this->FCount.store(count, std::memory_order_relaxed);
        // Moving shared references leaves the vacated last slot empty without touching counts.
        std::move(list.begin() + at + 1, list.begin() + count + 1, list.begin() + at);
        this->Notify(kept, TListNotification::lnDeleted);
    }
};

// Walks a list by index over the live list (no copy). Its mode is the list's locked_enum at
// creation. Locked: the list stays locked for the enumerator's whole life, which must end on the
// creating thread. Per step: MoveNext locks and, when it returns true, keeps the lock until
// Current has read the item, so other threads may change the list between steps (a removal
// before the position skips one item; an item added at the end is still visited).
template <class T>
class TZelEnumerator {
public:
    explicit TZelEnumerator(TZelList<T>& alist)
        : Flist(alist) {
        Flist.lock();
        FLocked_enum = Flist.locked_enum();
        if (!FLocked_enum)
            Flist.unlock();
    }

    TZelEnumerator(const TZelEnumerator&) = delete;
    TZelEnumerator& operator=(const TZelEnumerator&) = delete;

    // A step whose item was never read still holds the lock: give it back here.
    virtual ~TZelEnumerator() {
        if (FLocked_enum || Fstep_locked)
            Flist.unlock();
    }

    bool MoveNext() {
        if (FLocked_enum)
            return ++Findex < Flist.Count();
        if (!Fstep_locked)
            Flist.lock();
        if (++Findex < Flist.Count()) {
            Fstep_locked = true;
            return true;
        }
        Fstep_locked = false;
        Flist.unlock();
        return false;
    }

    std::shared_ptr<T> GetCurrent() {
        std::shared_ptr<T> item = Flist.GetItems(Findex);
        if (Fstep_locked) {
            Fstep_locked = false;
            Flist.unlock();
        }
        return item;
    }

    std::shared_ptr<T> Current() { return GetCurrent(); }

private:
    TZelList<T>& Flist;
    std::int32_t Findex = -1;
    bool FLocked_enum = false;
    bool Fstep_locked = false; // per-step mode: MoveNext returned true, Current not read yet
};

// Input iterator behind range-for over a TZelList: each step is MoveNext plus Current.
template <class T>
class TZelListIterator {
public:
    using value_type = std::shared_ptr<T>;
    using difference_type = std::ptrdiff_t;

    explicit TZelListIterator(TZelList<T>& list)
        : Fenumerator(std::make_unique<TZelEnumerator<T>>(list)) {
        ++*this;
    }

    const value_type& operator*() const noexcept { return Fcurrent; }

    TZelListIterator& operator++() {
        if (Fenumerator->MoveNext()) {
            Fcurrent = Fenumerator->Current();
        } else {
            Fenumerator.reset();
            Fcurrent.reset();
        }
        return *this;
    }

    bool operator==(std::default_sentinel_t) const noexcept { return !Fenumerator; }

private:
    std::unique_ptr<TZelEnumerator<T>> Fenumerator; // gone once the walk has ended
    value_type Fcurrent;
};

} // namespace zel
