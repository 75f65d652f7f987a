// SPDX-License-Identifier: MIT
// The one lock type of the library, its scoped guard, and the two
// process-wide assertion counters that every test object in the process
// feeds.
#ifndef ZKQE_MUTEX_H
#define ZKQE_MUTEX_H

#include "zkqe_export.h"

#include <atomic>

namespace zkqe {
// The library's own access to the counts (a passing assertion counts inline).
class CounterAccess;
} // namespace zkqe

// A recursive lock that can initialise itself on first acquisition, so that
// one in zero-filled static storage is valid before any constructor runs.
class ZKQE_API ZKQEMutex {
public:
    // Selects the constructor that leaves zero-filled static storage as it is.
    enum StaticCtor { staticCtor };

    // Initialises the lock at once.
    ZKQEMutex();
    // Does nothing: the object keeps what its (zero-filled) storage holds and
    // the first acquire() initialises it.
    explicit ZKQEMutex(StaticCtor);
    // Deletes the lock if it is initialised; a second destruction does nothing.
    ~ZKQEMutex();

    // Copying the state of a live lock would leave two owners of one native
    // lock; nothing needs it, so it is refused.
    ZKQEMutex(const ZKQEMutex&) = delete;
    ZKQEMutex& operator=(const ZKQEMutex&) = delete;

    // Initialises the lock unconditionally.
    void init();
    // Initialises the lock if needed, then enters it. The owning thread may
    // enter again.
    void acquire();
    // Leaves the lock.
    void release();

    // Native lock storage, sized for every supported platform.
    alignas(8) unsigned char lock[48];
    // 1 while the native lock is initialised, 0 before and after.
    int initialised;
};

// Holds a ZKQEMutex for the lifetime of the guard, releasing it on every exit
// from the scope, exceptions included.
class ZKQE_API ZKQEMutexGuard {
public:
    explicit ZKQEMutexGuard(ZKQEMutex& mutex);
    explicit ZKQEMutexGuard(ZKQEMutex* mutex);
    ~ZKQEMutexGuard();
    ZKQEMutexGuard(const ZKQEMutexGuard&) = delete;
    ZKQEMutexGuard& operator=(const ZKQEMutexGuard&) = delete;

private:
    ZKQEMutex* mutex_;
};

// Process-wide count of assertions attempted. A negative count is frozen; the
// count stops at its largest value rather than wrap.
class ZKQE_API ZKQESingletonAssertionCounter {
public:
    ~ZKQESingletonAssertionCounter() {}
    ZKQESingletonAssertionCounter& operator=(const ZKQESingletonAssertionCounter&) { return *this; }

    static void incrCount();
    static int getCount();
    static void clearCount();
    static ZKQESingletonAssertionCounter& getZKQESingletonAssertionCounter();

private:
    friend class zkqe::CounterAccess;
    ZKQESingletonAssertionCounter() {}
    // Atomic because incrCount takes no lock: every passing assertion of
    // every thread comes through it. The other operations hold the
    // assertion-count mutex.
    static std::atomic<int> count_;
};

// Process-wide count of failed assertions. A fatal error freezes it at a
// negative value until clearCount().
class ZKQE_API ZKQESingletonAssertionFailedCounter {
public:
    ~ZKQESingletonAssertionFailedCounter() {}
    ZKQESingletonAssertionFailedCounter& operator=(const ZKQESingletonAssertionFailedCounter&) {
        return *this;
    }

    static void incrCount();
    static int getCount();
    static void clearCount();
    // Records a fatal error (the negated code, -1 for 0, a negative code
    // as it is) unless one is recorded already; returns the count before.
    static int signalFatalError(int code);
    static ZKQESingletonAssertionFailedCounter& getZKQESingletonAssertionFailedCounter();

private:
    friend class zkqe::CounterAccess;
    ZKQESingletonAssertionFailedCounter() {}
    // Changed only under the failed-count mutex; atomic like the assertion
    // count so that both share one increment.
    static std::atomic<int> count_;
};

#endif
