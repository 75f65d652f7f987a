// SPDX-License-Identifier: MIT
// Worker processes for a run of cases spread over several processes: the
// parent hands each worker tasks through one pipe and reads what it found
// through another, and learns how a worker ended when it dies.
//
// Invariants the implementations keep:
//  - A worker never returns into the caller's code: its body's result is its
//    exit status, and it ends without the parent's exit handlers or a second
//    flush of the parent's stdio buffers (the caller flushes before a start).
//  - Every descriptor a start creates is the caller's to close, through
//    endWorker; none leaks into a later worker, so a worker's end is seen as
//    end-of-file on its pipe.
//  - A worker ends with its parent, however the parent ends (on Linux through
//    the parent-death signal, on Windows through a job that ends its
//    processes when the parent's handle to it closes); killFromHandler is
//    async-signal-safe, for the alarm's abort handler elsewhere.
#ifndef ZKQE_PLATFORM_WORKER_PROCESS_H
#define ZKQE_PLATFORM_WORKER_PROCESS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zkqe {
namespace platform {

struct WorkerProcess {
    std::intptr_t process = 0; // pid or process handle; 0: none
    int tasks = -1;            // the parent's end of the task pipe
    int findings = -1;         // the parent's end of the findings pipe
};

// The worker's side: reads tasks from `tasks`, writes findings to
// `findings`; its result is the worker's exit status.
using WorkerBody = int (*)(int tasks, int findings, void* context);

// Starts a worker: where a process can be copied, a copy that runs `body`;
// elsewhere the program started again with `relaunch` (its path, then its
// words) and one more word, kWorkerFlag and the pipes' names, which the new
// process hands to openWorkerChannel before it serves its tasks. False when
// no process could be made.
bool startWorker(WorkerProcess& worker, WorkerBody body, void* context,
                 const std::vector<std::string>& relaunch);

// The word's start; the rest names the inherited pipes.
constexpr const char* kWorkerFlag = "--zktest-worker=";

// In a relaunched worker: the task and findings descriptors that `names`
// (what followed kWorkerFlag) gives. False for names that give none.
bool openWorkerChannel(const std::string& names, int* tasks, int* findings);

// How a worker ended.
struct WorkerEnd {
    bool exited = false; // through exit(), with `status`
    int status = 0;
    bool aborted = false;    // through abort()
    unsigned long fault = 0; // the Windows exception code of a fault, else 0
    int signal = 0;          // another signal that ended it (POSIX), else 0
    bool returned = false;   // runInCopy: the body returned, the copy did not end in it
};

// Whether runInCopy can run anything here: where it can, an isolated case
// runs in a copy of a worker that never ran one, which costs a copy and no
// program start, and no round trip through the parent.
bool processesCanBeCopied();

// Runs `body(context)` in a copy of this process and waits for the copy to
// end; the copy ends with the body's result, without exit handlers, and with
// this process. False, with nothing run, when no copy could be made.
bool runInCopy(int (*body)(void*), void* context, WorkerEnd& end);

// Ends the worker (killed first when `kill`), waits for it and closes its
// pipes.
WorkerEnd endWorker(WorkerProcess& worker, bool kill);

// Lets go of a worker that ends by itself (it has its last task done and
// sees the end of its task pipe): its pipes are closed now, the process is
// waited for by a later reapReleased, so no one waits for its exit.
void releaseWorker(WorkerProcess& worker);
// Waits for the released workers that have ended (every one, when `all`).
void reapReleased(bool all);

// From a signal handler, as the parent ends: makes sure the worker ends no
// later than its parent. Where the system ends a worker with its parent, the
// worker is left to it, so that nothing the parent's other threads do on
// seeing a worker's end comes before the parent's own last words; elsewhere
// it is killed at once. Async-signal-safe.
void killFromHandler(std::intptr_t process);
// Remove a file, and an empty folder, from a signal handler; a failure is
// ignored. Async-signal-safe.
void removeFileFromHandler(const char* path);
void removeFolderFromHandler(const char* path);

// Waits until one of `fds` has bytes or its end, or `milliseconds` pass
// (negative: no limit). Returns the index of one that is ready, or -1.
int waitForReadable(const int* fds, std::size_t count, int milliseconds);

// read() and a whole write(), retried after signals. readSome returns 0 at
// the pipe's end and -1 on an error.
long readSome(int fd, void* buffer, std::size_t size);
bool writeAll(int fd, const void* data, std::size_t size);

// The cores this process may run on (at least 1).
unsigned usableCores();

} // namespace platform
} // namespace zkqe

#endif
