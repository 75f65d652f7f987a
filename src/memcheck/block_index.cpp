// SPDX-License-Identifier: MIT
// The checked allocator's hash set of blocks (see block_index.h).
#include "memcheck/block_index.h"

#include <cstdlib>

namespace zkqe {

namespace {

constexpr std::size_t kFirstCapacity = 4096;

std::uintptr_t addressOf(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

} // namespace

// The first slot to probe for an address: Fibonacci hashing of the address
// without its alignment bits, which carry nothing.
std::size_t BlockIndex::slotOf(std::uintptr_t address) const {
    const std::uint64_t mixed = (static_cast<std::uint64_t>(address) >> 4) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(mixed >> 32) & (capacity_ - 1);
}

std::uintptr_t* BlockIndex::find(const void* p) const {
    if (capacity_ == 0)
        return nullptr;
    const std::uintptr_t address = addressOf(p);
    for (std::size_t i = slotOf(address);; i = (i + 1) & (capacity_ - 1)) {
        if (slots_[i] == 0)
            return nullptr;
        if ((slots_[i] & ~kLiveBit) == address)
            return &slots_[i];
    }
}

bool BlockIndex::enterLive(const void* p) {
    // At most half full, so that probes stay short and an empty slot exists.
    if (2 * (used_ + 1) > capacity_ && !grow())
        return false;
    const std::uintptr_t address = addressOf(p);
    for (std::size_t i = slotOf(address);; i = (i + 1) & (capacity_ - 1)) {
        std::uintptr_t& slot = slots_[i];
        if (slot == 0)
            ++used_;
        else if ((slot & ~kLiveBit) != address)
            continue;
        else if (slot & kLiveBit)
            return true; // already live: the heap never hands out a live block twice
        slot = address | kLiveBit;
        ++live_;
        return true;
    }
}

bool BlockIndex::grow() {
    const std::size_t capacity = capacity_ == 0 ? kFirstCapacity : 2 * capacity_;
    auto* slots = static_cast<std::uintptr_t*>(std::calloc(capacity, sizeof(std::uintptr_t)));
    if (slots == nullptr)
        return false;
    std::uintptr_t* const old = slots_;
    const std::size_t oldCapacity = capacity_;
    slots_ = slots;
    capacity_ = capacity;
    for (std::size_t i = 0; i < oldCapacity; ++i) {
        if (old[i] == 0)
            continue;
        std::size_t at = slotOf(old[i] & ~kLiveBit);
        while (slots_[at] != 0)
            at = (at + 1) & (capacity_ - 1);
        slots_[at] = old[i];
    }
    std::free(old);
    return true;
}

} // namespace zkqe
