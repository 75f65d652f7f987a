// SPDX-License-Identifier: MIT
// Win32 lock: a CRITICAL_SECTION placed in the caller's storage. Entering an
// uncontended critical section stays in user space.
#include "platform/platform.h"

#include <windows.h>

namespace zkqe {
namespace platform {

static_assert(sizeof(CRITICAL_SECTION) <= kLockStorageSize, "lock storage too small");

namespace {
CRITICAL_SECTION* native(void* storage) {
    return static_cast<CRITICAL_SECTION*>(storage);
}
} // namespace

void lockInit(void* storage) {
    InitializeCriticalSection(native(storage));
}

void lockEnter(void* storage) {
    EnterCriticalSection(native(storage));
}

void lockLeave(void* storage) {
    LeaveCriticalSection(native(storage));
}

void lockDelete(void* storage) {
    DeleteCriticalSection(native(storage));
}

} // namespace platform
} // namespace zkqe
