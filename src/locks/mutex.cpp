// SPDX-License-Identifier: MIT
// ZKQEMutex, its guard and the three process-wide mutexes (the counters
// that two of them guard are in counters.cpp).
//
// Lock order: a test object's mutex may be held while a process-wide mutex
// is taken, never the reverse.
#include "zkqe_mutex.h"

#include "platform/platform.h"
#include "locks/process_mutexes.h"

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
