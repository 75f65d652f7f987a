// SPDX-License-Identifier: MIT
// POSIX lock: a recursive pthread mutex placed in the caller's storage.
// Recursive because the Windows critical section it stands in for lets the
// owning thread enter again; glibc's uncontended lock is a user-space atomic,
// so no system call is made on the fast path.
#include "platform/platform.h"

#include <new>
#include <pthread.h>

namespace zkqe {
namespace platform {

static_assert(sizeof(pthread_mutex_t) <= kLockStorageSize, "lock storage too small");
static_assert(alignof(pthread_mutex_t) <= 8, "lock storage misaligned");

namespace {
pthread_mutex_t* native(void* storage) {
    return static_cast<pthread_mutex_t*>(storage);
}
} // namespace

void lockInit(void* storage) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(new (storage) pthread_mutex_t, &attr);
    pthread_mutexattr_destroy(&attr);
}

void lockEnter(void* storage) {
    pthread_mutex_lock(native(storage));
}

void lockLeave(void* storage) {
    pthread_mutex_unlock(native(storage));
}

void lockDelete(void* storage) {
    pthread_mutex_destroy(native(storage));
}

} // namespace platform
} // namespace zkqe
