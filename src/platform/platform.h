// SPDX-License-Identifier: MIT
// The operating-system seam of zktest. Every subsystem reaches the OS only
// through these functions; one implementation per OS lives in posix/ and
// win32/, and CMake compiles exactly one of them.
//
// Invariants the implementations keep:
//  - The lock is recursive (the same thread may enter it again) and an
//    uncontended enter makes no system call.
//  - Lock storage is a plain byte array owned by the caller (ZKQEMutex), so a
//    zero-filled object is a valid "not yet initialised" lock.
//  - The alarm thread and the fault hook touch no storage that static
//    destructors release: both may still run while the process exits.
//  - The fault hook's reporter is called from a signal handler (POSIX) or an
//    unhandled-exception filter (Windows): it must be async-signal-safe.
#ifndef ZKQE_PLATFORM_PLATFORM_H
#define ZKQE_PLATFORM_PLATFORM_H

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>

namespace zkqe {
namespace platform {

// Bytes ZKQEMutex reserves for the native lock: large enough for a
// CRITICAL_SECTION and a pthread_mutex_t on every supported target.
constexpr std::size_t kLockStorageSize = 48;

// --- lock -------------------------------------------------------------
void lockInit(void* storage);
void lockEnter(void* storage);
void lockLeave(void* storage);
void lockDelete(void* storage);

// --- threads ----------------------------------------------------------
// Thread-locals that the assertion path reads: initial-exec on ELF, so each
// read is one load from the thread pointer rather than a call; the library
// is loaded with the program, so the static TLS block has room for them.
#if defined(__ELF__)
#define ZKQE_FAST_THREAD_LOCAL __attribute__((tls_model("initial-exec")))
#else
#define ZKQE_FAST_THREAD_LOCAL
#endif

// --- debugger ---------------------------------------------------------
bool debuggerPresent();
// Hands a NUL-terminated text to the attached debugger.
void debuggerOutput(const char* text);

// --- paths ------------------------------------------------------------
// A constant rather than a function, so that the public separator built from
// it holds its value before any static constructor runs.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// --- time -------------------------------------------------------------
void sleepMilliseconds(unsigned milliseconds);

// --- alarm ------------------------------------------------------------
// Starts a thread that waits `seconds` (the whole range of unsigned, not cut
// to a 32-bit count of milliseconds) and then aborts the process. Returns
// false when no thread could be started. At most one alarm thread exists:
// callers stop the previous one first. The waiting thread never keeps the
// process from exiting.
bool startAlarmThread(unsigned seconds);
// Ends the waiting alarm thread, if any, without aborting; when it returns,
// that thread can no longer abort the process.
void stopAlarmThread();

// --- fault hook -------------------------------------------------------
// Called with the Windows exception code of a fatal fault and the address of
// the faulting instruction. After it returns the process ends: on Windows
// through the filter's EXCEPTION_EXECUTE_HANDLER, on POSIX by re-raising the
// signal with its default action.
using FaultReporter = void (*)(unsigned long code, const void* pc);
// Installs the process-wide hook for unhandled faults, replacing any earlier
// one, and readies the calling thread for it.
void installFaultHook(FaultReporter reporter);

// What the hook needs on each thread (on POSIX an alternate signal stack, on
// Windows a stack guarantee), so that a stack overflow there is reported
// too. Threads are readied the first time they count an assertion once the
// hook is installed: a test's worker threads are the ones that assert.
// The flag is read with one load from the thread pointer (ZKQE_FAST_THREAD_LOCAL).
extern std::atomic<bool> faultHookInstalled;
inline thread_local bool threadReadyForFaults ZKQE_FAST_THREAD_LOCAL = false;
void prepareThreadForFaults();
inline bool threadNeedsReadyingForFaults() {
    return faultHookInstalled.load(std::memory_order_relaxed) && !threadReadyForFaults;
}
inline void readyThreadForFaults() {
    if (threadNeedsReadyingForFaults())
        prepareThreadForFaults();
}
// Writes `length` bytes of `text` (NUL-terminated) to `file` from inside the
// reporter, after what `file`'s buffer already holds (drainWithoutLock), and
// hands the text to an attached debugger; with no lock, no allocation.
void writeFaultText(std::FILE* file, const char* text, std::size_t length);

// --- report files -----------------------------------------------------
// Hands the bytes waiting in `file`'s buffer to the OS without taking the
// FILE's lock, for a process about to die (the alarm, the crash guard): the
// thread that holds the lock may be the one that hung or crashed. Nothing
// happens where the C library's buffer is not known. Signal-safe.
void drainWithoutLock(std::FILE* file);
// For the alarm, an ordinary thread: drains `file` under its lock when the
// lock comes within a short wait, so no byte is written twice by a race
// with a thread flushing it; without the lock (the hung thread holds it) as
// drainWithoutLock does.
void drainBeforeAbort(std::FILE* file);
// The FILE's own lock (recursive): a writer holding it keeps a block of
// lines together against every other writer of that FILE.
void lockFile(std::FILE* file);
void unlockFile(std::FILE* file);
// Hands `length` bytes to the OS for `file` in one write, after what the
// FILE's buffer holds; only a short write makes a second one, for the rest.
// The caller holds the FILE's lock, so no other writer of that FILE can come
// between. Nothing is left in the C library's buffer: the runtime's flush at
// exit, or a drain before a dying process ends, cannot write it again.
// Returns false (errno set) when a write failed.
bool writeWhole(std::FILE* file, const char* data, std::size_t length);
// Replaces the file at `path` by `length` bytes of `data` with system calls
// alone (no stdio, no lock, no allocation), for a handler of a dying
// process. False when it could not be written whole.
bool replaceFileFromHandler(const char* path, const char* data, std::size_t length);

// --- console ----------------------------------------------------------
// Whether `file` is an interactive terminal, the only place colour belongs.
bool isTerminal(std::FILE* file);

// --- process ----------------------------------------------------------
// One-time start-up adjustments made when the library loads (for example,
// keeping abort() quiet and dialog-free on Windows); they include
// ensureStandardDescriptors.
void processStartup();
// Opens the null device on each of the standard descriptors 0, 1 and 2 that
// is closed, so that no file the library opens later takes one's place (a
// status file on descriptor 2 would collect every diagnostic). Cheap enough
// to repeat before a file is created.
void ensureStandardDescriptors();
// Whether the process is ending in order (return from main, exit) rather
// than through abort, a crash or another end that skips the C runtime's exit
// processing. Exit-time finalisers that must leave the trace of an abnormal
// end behind ask this: a Windows DLL runs its static destructors on both.
bool processEndingInOrder();
// This machine's network name, for reports that say where a run ran; empty
// when the system does not tell it.
std::string hostName();

} // namespace platform
} // namespace zkqe

#endif
