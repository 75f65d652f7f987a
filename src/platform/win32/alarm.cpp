// SPDX-License-Identifier: MIT
// Win32 alarm thread: a thread that waits on a cancel event with a timeout
// and aborts the process when the timeout runs out.
//
// Invariants:
//  - The state is plain handles in static storage, never destroyed; the
//    process may exit while the thread waits (ExitProcess ends it).
//  - stopAlarmThread signals the event and waits for the thread to end
//    before closing both handles, so the thread never waits on a closed
//    handle and a cancelled alarm can no longer abort the process. The wait
//    is short: the thread only waits and returns.
//  - Only the thread that processes the flags starts and stops the alarm.
#include "platform/platform.h"

#include <cstdlib>
#include <windows.h>

namespace zkqe {
namespace platform {

namespace {

HANDLE alarmThreadHandle = nullptr;
HANDLE alarmCancelEvent = nullptr;
// Written before the thread starts and read by it only.
ULONGLONG alarmDeadline = 0;

// One wait stays below INFINITE, which would never time out.
constexpr ULONGLONG kLongestWaitMilliseconds = 0x7FFFFFFFull;

DWORD WINAPI alarmThread(LPVOID) {
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= alarmDeadline) {
            // A report on a standard stream keeps what it holds: abort()
            // would drop it, and the hung thread may hold the stream's lock.
            drainBeforeAbort(stdout);
            drainBeforeAbort(stderr);
            std::abort();
        }
        ULONGLONG wait = alarmDeadline - now;
        if (wait > kLongestWaitMilliseconds)
            wait = kLongestWaitMilliseconds;
        if (WaitForSingleObject(alarmCancelEvent, static_cast<DWORD>(wait)) != WAIT_TIMEOUT)
            return 0;
    }
}

} // namespace

bool startAlarmThread(unsigned seconds) {
    alarmCancelEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (alarmCancelEvent == nullptr)
        return false;
    // Milliseconds in 64 bits: alarms beyond 4,294,967 seconds keep their length.
    alarmDeadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000u;
    alarmThreadHandle = CreateThread(nullptr, 0, alarmThread, nullptr, 0, nullptr);
    if (alarmThreadHandle == nullptr) {
        CloseHandle(alarmCancelEvent);
        alarmCancelEvent = nullptr;
        return false;
    }
    return true;
}

void stopAlarmThread() {
    if (alarmThreadHandle == nullptr)
        return;
    SetEvent(alarmCancelEvent);
    WaitForSingleObject(alarmThreadHandle, INFINITE);
    CloseHandle(alarmThreadHandle);
    CloseHandle(alarmCancelEvent);
    alarmThreadHandle = nullptr;
    alarmCancelEvent = nullptr;
}

} // namespace platform
} // namespace zkqe
