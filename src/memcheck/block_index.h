// SPDX-License-Identifier: MIT
// The checked allocator's index of the blocks it wrote: an open-addressing
// hash set over user addresses, so that entering and finding a block costs
// the same with a thousand live blocks as with a million.
//
// Invariants: a slot holds 0 (empty) or a user address, with its low bit set
// while the block is live (user addresses are at least 8-aligned). A slot is
// never emptied: a released block keeps its address, which tells a second
// delete from a stray one, and the heap handing the address out again makes
// it live once more. The index's memory comes from malloc, never from the
// operators it serves. Not synchronised: the caller holds the facility's
// lock.
#ifndef ZKQE_MEMCHECK_BLOCK_INDEX_H
#define ZKQE_MEMCHECK_BLOCK_INDEX_H

#include <cstddef>
#include <cstdint>

namespace zkqe {

class BlockIndex {
public:
    // The slot that holds p, or null.
    std::uintptr_t* find(const void* p) const;
    static bool isLive(std::uintptr_t slot) { return (slot & kLiveBit) != 0; }
    // Makes p live; false when the index is full and cannot grow.
    bool enterLive(const void* p);
    // The slot of a live block.
    void release(std::uintptr_t& slot) {
        slot &= ~kLiveBit;
        --live_;
    }

    std::size_t liveCount() const { return live_; }
    // Calls visit(address) for every live block, in no particular order.
    template <class Visit> void forEachLive(Visit visit) const {
        for (std::size_t i = 0; i < capacity_; ++i)
            if (slots_[i] & kLiveBit)
                visit(reinterpret_cast<void*>(slots_[i] & ~kLiveBit));
    }

private:
    static constexpr std::uintptr_t kLiveBit = 1;
    std::size_t slotOf(std::uintptr_t address) const;
    bool grow();

    std::uintptr_t* slots_ = nullptr;
    std::size_t capacity_ = 0; // a power of two, or 0 before the first block
    std::size_t used_ = 0;     // slots that hold an address
    std::size_t live_ = 0;
};

} // namespace zkqe

#endif
