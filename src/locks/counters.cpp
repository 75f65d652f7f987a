// SPDX-License-Identifier: MIT
// The two process-wide counters: the assertion count, kept in per-thread
// slots (counters.h), and the failed count with its fatal-error freeze.
//
// Lock order: a test object's mutex may be held while a counter mutex is
// taken, never the reverse; each counter operation takes at most one lock.
// The assertion count's increment takes none: it writes its thread's own
// slot; a thread's first count, every read and clearCount take the
// assertion-count mutex.
//
// Ownership: a thread's slot is allocated on its first count and never
// freed, so what an ended thread counted stays counted (64 bytes for each
// thread that ever asserted).
#include "zkqe_mutex.h"

#include "platform/platform.h"
#include "locks/counters.h"
#include "locks/process_mutexes.h"

#include <climits>
#include <cstdint>
#include <new>

std::atomic<int> ZKQESingletonAssertionCounter::count_{0};
std::atomic<int> ZKQESingletonAssertionFailedCounter::count_{0};

using zkqe::CounterAccess;
using zkqe::CountSlot;

namespace {

// Every slot ever registered; under the assertion-count mutex.
CountSlot* slots = &zkqe::firstThreadSlot;

std::int64_t uncleared(const CountSlot& slot) {
    return static_cast<std::int64_t>(slot.counted.load(std::memory_order_relaxed) - slot.cleared);
}

// count_ plus `more`, stopped at INT_MAX; a frozen (negative) count stays.
int addedTo(int count, std::int64_t more) {
    if (count < 0)
        return count;
    const std::int64_t total = count + more;
    return total < INT_MAX ? static_cast<int>(total) : INT_MAX;
}

} // namespace

namespace zkqe {

CountSlot firstThreadSlot{{0}, 0, nullptr};
// Whether a thread has taken firstThreadSlot: the first to count does.
static std::atomic<bool> firstThreadSlotTaken{false};

void countAssertionSlowly() {
    platform::readyThreadForFaults();
    CountSlot* slot = threadCountSlot;
    if (slot == nullptr && !firstThreadSlotTaken.exchange(true))
        slot = threadCountSlot = &firstThreadSlot;
    if (slot == nullptr) {
        slot = new (std::nothrow) CountSlot;
        if (slot == nullptr) { // no slot to be had: this one counts under the mutex
            ZKQEMutexGuard guard(assertionCountMutex);
            std::atomic<int>& count = CounterAccess::assertionCount();
            count.store(addedTo(count.load(), 1));
            return;
        }
        ZKQEMutexGuard guard(assertionCountMutex);
        slot->next = slots;
        slots = slot;
        threadCountSlot = slot;
    }
    slot->counted.store(slot->counted.load(std::memory_order_relaxed) + 1,
                        std::memory_order_relaxed);
}

} // namespace zkqe

// Lock-free: this runs once for every assertion in the process. The atomic
// increment keeps the frozen and largest values as they are, so it needs no
// exclusion from the operations below, which keep their lock for each other.
void ZKQESingletonAssertionCounter::incrCount() {
    CounterAccess::countAssertion();
}

int ZKQESingletonAssertionCounter::getCount() {
    ZKQEMutexGuard guard(zkqe::assertionCountMutex);
    std::int64_t counted = 0;
    for (const CountSlot* slot = slots; slot != nullptr; slot = slot->next)
        counted += uncleared(*slot);
    return addedTo(count_.load(), counted);
}

void ZKQESingletonAssertionCounter::clearCount() {
    ZKQEMutexGuard guard(zkqe::assertionCountMutex);
    count_.store(0);
    for (CountSlot* slot = slots; slot != nullptr; slot = slot->next)
        slot->cleared = slot->counted.load(std::memory_order_relaxed);
}

ZKQESingletonAssertionCounter& ZKQESingletonAssertionCounter::getZKQESingletonAssertionCounter() {
    static ZKQESingletonAssertionCounter instance;
    return instance;
}

// A failure is rare and slow (it writes a report block), so the failed count
// keeps its mutex on every operation.
void ZKQESingletonAssertionFailedCounter::incrCount() {
    ZKQEMutexGuard guard(zkqe::failedCountMutex);
    CounterAccess::incrementUnlessFrozen(count_);
}

int ZKQESingletonAssertionFailedCounter::getCount() {
    ZKQEMutexGuard guard(zkqe::failedCountMutex);
    return count_.load();
}

void ZKQESingletonAssertionFailedCounter::clearCount() {
    ZKQEMutexGuard guard(zkqe::failedCountMutex);
    count_.store(0);
}

int ZKQESingletonAssertionFailedCounter::signalFatalError(int code) {
    ZKQEMutexGuard guard(zkqe::failedCountMutex);
    const int frozen = code > 0 ? -code : (code == 0 ? -1 : code);
    int before = count_.load();
    // The first fatal error stays recorded.
    while (before >= 0 && !count_.compare_exchange_weak(before, frozen)) {
    }
    return before;
}

ZKQESingletonAssertionFailedCounter&
ZKQESingletonAssertionFailedCounter::getZKQESingletonAssertionFailedCounter() {
    static ZKQESingletonAssertionFailedCounter instance;
    return instance;
}
