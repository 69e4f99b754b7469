#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace zel {

// A block of queued items; the chain links blocks, not single items, so that consecutive items
// share cache lines and a queue of millions of items costs little more than their references.
template <class T>
struct TQueueBlock {
    static constexpr std::size_t slot_count = 64;

    TQueueBlock* Next = nullptr;
    std::array<std::shared_ptr<T>, slot_count> Data;
};

// The first-in first-out store behind the threaded queues, without a lock of its own: the owning
// queue holds its lock around every call. Items fill the tail block slot by slot and leave the
// head block the same way; a spent head block is kept for reuse (up to kept_blocks) or handed
// back for the caller to free outside the lock, and a new block is allocated by the caller
// outside the lock too, so neither Enqueue nor Dequeue allocates or frees under the lock.
template <class T>
class TBlockChain {
public:
    using item_type = std::shared_ptr<T>;
    using block_type = TQueueBlock<T>;
    using block_ptr = std::unique_ptr<block_type>;

    static constexpr std::size_t slot_count = block_type::slot_count;
    static constexpr std::size_t kept_blocks = 4;

    TBlockChain() = default;
    TBlockChain(const TBlockChain&) = delete;
    TBlockChain& operator=(const TBlockChain&) = delete;

    ~TBlockChain() {
        delete_blocks(FHeadNode);
        delete_blocks(Fspare);
    }

    static block_ptr new_block() { return std::make_unique<block_type>(); }

    // A block for the next push; kept even beyond kept_blocks, the push is about to use it.
    void add_block(block_ptr block) noexcept {
        block->Next = Fspare;
        Fspare = block.release();
        ++Fspare_count;
    }

    // Appends the item at the tail; false (item untouched) when a new block is needed first.
    bool push(item_type& item) noexcept {
        if (FTailNode == nullptr || Ftail == slot_count) {
            block_type* block = Fspare;
            if (block == nullptr)
                return false;
            Fspare = block->Next;
            --Fspare_count;
            block->Next = nullptr;
            if (FTailNode == nullptr)
                FHeadNode = block;
            else
                FTailNode->Next = block;
            FTailNode = block;
            Ftail = 0;
        }
        FTailNode->Data[Ftail++] = std::move(item);
        Fcount.store(Fcount.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        return true;
    }

    // Moves the head item out; false when empty. A block this empties lands in `spent` when the
    // chain keeps enough blocks already (it must come in empty; the caller frees it unlocked).
    bool pop(item_type& item, block_ptr& spent) noexcept {
        const std::size_t count = Fcount.load(std::memory_order_relaxed);
        if (count == 0)
            return false;
        item = std::move(FHeadNode->Data[Fhead++]);
        Fcount.store(count - 1, std::memory_order_relaxed);
        if (count == 1) {
            Fhead = Ftail = 0; // the head block is the tail block: start it over
        } else if (Fhead == slot_count) {
            block_type* emptied = FHeadNode;
            FHeadNode = std::exchange(emptied->Next, nullptr);
            Fhead = 0;
            spent.reset(retire(emptied));
        }
        return true;
    }

    const item_type* front() const noexcept { return empty() ? nullptr : &FHeadNode->Data[Fhead]; }

    // May be read without the owner's lock: then it is a hint.
    bool empty() const noexcept { return Fcount.load(std::memory_order_relaxed) == 0; }

    std::int32_t count() const noexcept {
        return static_cast<std::int32_t>(Fcount.load(std::memory_order_relaxed));
    }

    // Calls visit(item, stop) from head to tail until stop is set; returns the number of calls.
    template <class Visit>
    std::int32_t scan(Visit&& visit) {
        std::int32_t calls = 0;
        bool stop = false;
        for (TPosition at = head(); !stop && at != tail(); at.advance()) {
            visit(at.item(), stop);
            ++calls;
        }
        return calls;
    }

    // Calls choose(item, drop) on every item and removes those it flags, keeping the order of
    // the others; returns the number removed. Dropped items are released here, under the lock.
    template <class Choose>
    std::int32_t drop(Choose&& choose) {
        std::int32_t dropped = 0;
        TPosition kept = head();
        for (TPosition at = head(); at != tail(); at.advance()) {
            bool flagged = false;
            choose(at.item(), flagged);
            if (flagged) {
                at.item().reset();
                ++dropped;
                continue;
            }
            if (kept != at)
                kept.item() = std::move(at.item());
            kept.advance();
        }
        if (dropped > 0)
            cut_at(kept, Fcount.load(std::memory_order_relaxed) - dropped);
        return dropped;
    }

    // Releases every item, under the lock.
    void clear() noexcept {
        for (TPosition at = head(); at != tail(); at.advance())
            at.item().reset();
        cut_at(head(), 0);
    }

private:
    // A slot of the chain; a position at the end of a full block stands before the next block.
    struct TPosition {
        block_type* block;
        std::size_t slot;

        item_type& item() const noexcept {
            return slot == slot_count ? block->Next->Data[0] : block->Data[slot];
        }
        void advance() noexcept {
            if (slot == slot_count) {
                block = block->Next;
                slot = 0;
            }
            ++slot;
        }
        bool operator==(const TPosition& other) const noexcept {
            return block == other.block && slot == other.slot;
        }
    };

    TPosition head() const noexcept { return {FHeadNode, Fhead}; }
    TPosition tail() const noexcept { return {FTailNode, Ftail}; }

    // Makes `end` the new tail with `remaining` items before it; the blocks after it are spare.
    void cut_at(TPosition end, std::size_t remaining) noexcept {
        if (FHeadNode == nullptr)
            return;
        if (remaining == 0)
            end = {FHeadNode, 0};
        block_type* rest = end.block->Next;
        end.block->Next = nullptr;
        FTailNode = end.block;
        Ftail = end.slot;
        if (remaining == 0)
            Fhead = 0;
        Fcount.store(remaining, std::memory_order_relaxed);
        while (rest != nullptr) {
            block_type* next = rest->Next;
            delete retire(rest); // rare (Scan_drop, Clear): freeing under the lock is fine here
            rest = next;
        }
    }

    // Keeps a block for reuse; returns it instead when enough blocks are kept already.
    block_type* retire(block_type* block) noexcept {
        if (Fspare_count >= kept_blocks)
            return block;
        block->Next = Fspare;
        Fspare = block;
        ++Fspare_count;
        return nullptr;
    }

    static void delete_blocks(block_type* block) noexcept {
        while (block != nullptr)
            delete std::exchange(block, block->Next);
    }

    block_type* FHeadNode = nullptr;
    std::size_t Fhead = 0; // first queued slot of the head block
    block_type* FTailNode = nullptr;
    std::size_t Ftail = 0; // first free slot of the tail block
    // Changed only under the owner's lock; atomic so that empty() may read it without the lock.
    std::atomic<std::size_t> Fcount{0};
    block_type* Fspare = nullptr;
    std::size_t Fspare_count = 0;
};

} // namespace zel
