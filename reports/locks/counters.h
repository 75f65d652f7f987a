// SPDX-License-Identifier: MIT
// The library's inline access to the two process-wide counts, so that a
// passing assertion counts without a call or a lock.
//
// Invariants: a negative count is never incremented (a recorded fatal error
// stays until clearCount), and a count never passes INT_MAX. Once the process
// has a second thread, every change is one atomic read-modify-write, so an
// increment racing with clearCount or signalFatalError lands entirely before
// or entirely after it: the results are those of some order of the calls, as
// under one lock. Before that no other thread exists to race with.
#ifndef ZKQE_REPORTS_LOCKS_COUNTERS_H
#define ZKQE_REPORTS_LOCKS_COUNTERS_H

#include "zkqe_mutex.h"
#include "platform/platform.h"

#include <atomic>
#include <climits>

namespace zkqe {

static_assert(sizeof(std::atomic<int>) == sizeof(int), "the counts are 32-bit ints");
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the counts need lock-free atomics");

class CounterAccess {
public:
    static std::atomic<int>& assertionCount() { return ZKQESingletonAssertionCounter::count_; }
    static std::atomic<int>& failedCount() { return ZKQESingletonAssertionFailedCounter::count_; }

    // Adds 1 unless the count is negative (frozen) or already INT_MAX: the
    // count stops at its largest value instead of wrapping into the range
    // that means "fatal error". While the process has one thread a plain
    // load and store do it; afterwards a failed exchange reloads the count,
    // so the sign and the limit are checked against the value replaced.
    static void incrementUnlessFrozen(std::atomic<int>& count) {
        if (platform::processIsSingleThreaded())
            incrementAlone(count);
        else
            incrementShared(count);
    }

    // A thread other than the first is readied for the crash guard here, the
    // one place every asserting thread passes.
    static void countAssertion() {
        std::atomic<int>& count = assertionCount();
        if (platform::processIsSingleThreaded()) {
            incrementAlone(count);
            return;
        }
        platform::readyThreadForFaults();
        incrementShared(count);
    }

private:
    static void incrementAlone(std::atomic<int>& count) {
        const int value = count.load(std::memory_order_relaxed);
        if (value >= 0 && value < INT_MAX)
            count.store(value + 1, std::memory_order_relaxed);
    }

    static void incrementShared(std::atomic<int>& count) {
        int value = count.load(std::memory_order_relaxed);
        while (value >= 0 && value < INT_MAX &&
               !count.compare_exchange_weak(value, value + 1, std::memory_order_relaxed)) {
        }
    }
};

} // namespace zkqe

#endif
