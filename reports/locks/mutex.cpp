// SPDX-License-Identifier: MIT
// ZKQEMutex, its guard, the two process-wide counters and the three
// process-wide mutexes.
//
// Lock order: a test object's mutex may be held while a counter mutex is
// taken, never the reverse; each counter operation takes at most one lock.
// The assertion count's increment takes none: it is one atomic operation
// (reports/locks/counters.h), and every other operation on either count is one
// atomic operation under that count's mutex.
#include "zkqe_mutex.h"

#include "platform/platform.h"
#include "reports/locks/counters.h"
#include "reports/locks/process_mutexes.h"

static_assert(sizeof(ZKQEMutex::lock) == zkqe::platform::kLockStorageSize,
              "ZKQEMutex lock storage must match the platform's");

namespace {

// Runs before the process-wide mutexes below: same translation unit, earlier
// definition.
struct PlatformStartup {
    PlatformStartup() { zkqe::platform::processStartup(); }
} platformStartup;

} // namespace

namespace zkqe {

// Definition order is construction order; exit runs the destructors in
// reverse.
ZKQEMutex statusFileMutex;
ZKQEMutex assertionCountMutex;
ZKQEMutex failedCountMutex;

} // namespace zkqe

ZKQEMutex::ZKQEMutex() : initialised(0) {
    init();
}

ZKQEMutex::ZKQEMutex(StaticCtor) {}

ZKQEMutex::~ZKQEMutex() {
    if (initialised != 0) {
        initialised = 0;
        zkqe::platform::lockDelete(lock);
    }
}

void ZKQEMutex::init() {
    zkqe::platform::lockInit(lock);
    initialised = 1;
}

namespace {

// The bodies of acquire and release, shared with the guard so that a guarded
// section costs the native lock and nothing more: calls between exported
// functions of a shared library go through its symbol table.
inline void enter(ZKQEMutex& mutex) {
    if (mutex.initialised == 0)
        mutex.init();
    zkqe::platform::lockEnter(mutex.lock);
}

inline void leave(ZKQEMutex& mutex) {
    zkqe::platform::lockLeave(mutex.lock);
}

} // namespace

void ZKQEMutex::acquire() {
    enter(*this);
}

void ZKQEMutex::release() {
    leave(*this);
}

ZKQEMutexGuard::ZKQEMutexGuard(ZKQEMutex& mutex) : mutex_(&mutex) {
    enter(*mutex_);
}

ZKQEMutexGuard::ZKQEMutexGuard(ZKQEMutex* mutex) : mutex_(mutex) {
    enter(*mutex_);
}

ZKQEMutexGuard::~ZKQEMutexGuard() {
    leave(*mutex_);
}

std::atomic<int> ZKQESingletonAssertionCounter::count_{0};
std::atomic<int> ZKQESingletonAssertionFailedCounter::count_{0};

using zkqe::CounterAccess;

// Lock-free: this runs once for every assertion in the process. The atomic
// increment keeps the frozen and largest values as they are, so it needs no
// exclusion from the operations below, which keep their lock for each other.
void ZKQESingletonAssertionCounter::incrCount() {
    CounterAccess::countAssertion();
}

int ZKQESingletonAssertionCounter::getCount() {
    ZKQEMutexGuard guard(zkqe::assertionCountMutex);
    return count_.load();
}

void ZKQESingletonAssertionCounter::clearCount() {
    ZKQEMutexGuard guard(zkqe::assertionCountMutex);
    count_.store(0);
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
