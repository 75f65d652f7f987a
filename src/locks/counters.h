// SPDX-License-Identifier: MIT
// The library's inline access to the two process-wide counts, so that a
// passing assertion counts without a call or a lock.
//
// The assertion count is count_ plus every thread's own slot. Each thread
// counts with a plain load and store into a slot of its own (a cache line
// that no other thread writes; the first thread's is firstThreadSlot, the
// others' are allocated), registered the first time the thread counts and
// kept after it ends, so threads asserting at once never contend and
// nothing counted is lost. Only a slot's thread writes
// `counted`; readers and clearCount use the assertion-count mutex and never write it: clearCount
// records what each slot has counted so far as its `cleared`, so an increment
// racing with it lands entirely before or entirely after it.
//
// Invariants: a negative count is never incremented (a recorded fatal error
// stays until clearCount), and a count read never passes INT_MAX. The failed
// count changes only under its mutex, with one atomic read-modify-write.
#ifndef ZKQE_LOCKS_COUNTERS_H
#define ZKQE_LOCKS_COUNTERS_H

#include "zkqe_mutex.h"
#include "platform/platform.h"

#include <atomic>
#include <climits>
#include <cstdint>

namespace zkqe {

static_assert(sizeof(std::atomic<int>) == sizeof(int), "the counts are 32-bit ints");
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the counts need lock-free atomics");

// One thread's share of the assertion count, on a cache line of its own.
struct alignas(64) CountSlot {
    std::atomic<std::uint64_t> counted{0}; // written by the slot's thread only
    std::uint64_t cleared = 0;             // `counted` at the last clearCount; under the mutex
    CountSlot* next = nullptr;             // the list of every slot; under the mutex
};

// The slot of the first thread that counts; always in the list.
extern CountSlot firstThreadSlot;

// This thread's slot, null until it first counts.
inline thread_local CountSlot* threadCountSlot ZKQE_FAST_THREAD_LOCAL = nullptr;

// The slow side of countAssertionFast: readies the thread for the crash
// guard, registers a slot for it when it has none, and counts one assertion.
void countAssertionSlowly();

class CounterAccess {
public:
    static std::atomic<int>& assertionCount() { return ZKQESingletonAssertionCounter::count_; }
    static std::atomic<int>& failedCount() { return ZKQESingletonAssertionFailedCounter::count_; }

    // Adds 1 unless the count is negative (frozen) or already INT_MAX: the
    // count stops at its largest value instead of wrapping into the range
    // that means "fatal error". For the failed count, under its mutex.
    static void incrementUnlessFrozen(std::atomic<int>& count) {
        int value = count.load(std::memory_order_relaxed);
        while (value >= 0 && value < INT_MAX &&
               !count.compare_exchange_weak(value, value + 1, std::memory_order_relaxed)) {
        }
    }

    // Counts one assertion with a load and a store into this thread's own
    // slot; false (nothing counted) when the thread has no slot yet or must
    // first be readied for the crash guard, the one place every asserting
    // thread passes: the caller then counts with countAssertionSlowly. Kept free of
    // calls, so a passing assertion needs no stack frame.
    static bool countAssertionFast() {
        CountSlot* slot = threadCountSlot;
        if (slot == nullptr || platform::threadNeedsReadyingForFaults())
            return false;
        slot->counted.store(slot->counted.load(std::memory_order_relaxed) + 1,
                            std::memory_order_relaxed);
        return true;
    }

    static void countAssertion() {
        if (!countAssertionFast())
            countAssertionSlowly();
    }
};

} // namespace zkqe

#endif
