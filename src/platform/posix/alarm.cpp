// SPDX-License-Identifier: MIT
// POSIX alarm thread: a detached thread that waits on a condition variable
// until a CLOCK_MONOTONIC deadline and then aborts the process, unless a
// later stopAlarmThread has cancelled it first.
//
// Invariants:
//  - The mutex, the condition variable and the generation counter live in
//    plain static storage with no destructor, so a thread still waiting while
//    the process exits never touches destroyed state.
//  - Each thread waits for its own generation. stopAlarmThread moves the
//    generation on under the mutex; the thread decides to abort under the
//    same mutex, so once stopAlarmThread has returned the old thread can
//    only wake, see it was cancelled and end.
//  - The thread is detached: nothing joins it, and an armed alarm never keeps
//    the process from exiting.
//  - The thread blocks every signal, so signals meant for the test's own
//    threads are not delivered to it; abort() unblocks SIGABRT itself.
#include "platform/platform.h"

#include <cstdint>
#include <cstdlib>
#include <pthread.h>
#include <signal.h>
#include <time.h>

namespace zkqe {
namespace platform {

namespace {

// Guarded by alarmMutex: the generation of the alarm in force and its
// deadline on the monotonic clock.
pthread_mutex_t alarmMutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t alarmCondition;
pthread_once_t alarmConditionOnce = PTHREAD_ONCE_INIT;
std::uintptr_t alarmGeneration = 0;
std::int64_t deadlineSeconds = 0;
long deadlineNanoseconds = 0;

// One wait never goes further than this, so the absolute time handed to the
// condition variable fits a 32-bit time_t however long the alarm is.
constexpr std::int64_t kLongestWaitSeconds = 24 * 60 * 60;

void initCondition() {
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&alarmCondition, &attributes);
    pthread_condattr_destroy(&attributes);
}

timespec monotonicNow() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

void* alarmThread(void* argument) {
    const std::uintptr_t generation = reinterpret_cast<std::uintptr_t>(argument);
    pthread_mutex_lock(&alarmMutex);
    while (alarmGeneration == generation) {
        const timespec now = monotonicNow();
        const std::int64_t nowSeconds = static_cast<std::int64_t>(now.tv_sec);
        if (nowSeconds > deadlineSeconds ||
            (nowSeconds == deadlineSeconds && now.tv_nsec >= deadlineNanoseconds)) {
            // A report on a standard stream keeps what it holds: abort()
            // would drop it, and the hung thread may hold the stream's lock.
            drainBeforeAbort(stdout);
            drainBeforeAbort(stderr);
            std::abort(); // with alarmMutex held: no cancel can slip in now
        }
        timespec wakeAt;
        if (deadlineSeconds - nowSeconds > kLongestWaitSeconds) {
            wakeAt.tv_sec = static_cast<time_t>(nowSeconds + kLongestWaitSeconds);
            wakeAt.tv_nsec = now.tv_nsec;
        } else {
            wakeAt.tv_sec = static_cast<time_t>(deadlineSeconds);
            wakeAt.tv_nsec = deadlineNanoseconds;
        }
        pthread_cond_timedwait(&alarmCondition, &alarmMutex, &wakeAt);
    }
    pthread_mutex_unlock(&alarmMutex);
    return nullptr;
}

} // namespace

bool startAlarmThread(unsigned seconds) {
    pthread_once(&alarmConditionOnce, initCondition);

    const timespec now = monotonicNow();
    pthread_mutex_lock(&alarmMutex);
    const std::uintptr_t generation = alarmGeneration;
    deadlineSeconds = static_cast<std::int64_t>(now.tv_sec) + static_cast<std::int64_t>(seconds);
    deadlineNanoseconds = now.tv_nsec;
    pthread_mutex_unlock(&alarmMutex);

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    pthread_t thread;
    const bool started =
        pthread_create(&thread, &attributes, alarmThread, reinterpret_cast<void*>(generation)) == 0;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    pthread_attr_destroy(&attributes);
    return started;
}

void stopAlarmThread() {
    pthread_mutex_lock(&alarmMutex);
    ++alarmGeneration;
    pthread_cond_broadcast(&alarmCondition);
    pthread_mutex_unlock(&alarmMutex);
}

} // namespace platform
} // namespace zkqe
