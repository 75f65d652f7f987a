// SPDX-License-Identifier: MIT
// POSIX workers: fork, so a worker starts with the program's cases already
// registered and costs no program start. An isolated case runs in a fork of
// its worker, made by the worker, so the parent's copying and waiting is off
// the path from one case to the next. Every child ends with _exit.
#include "platform/worker_process.h"
#include "platform/posix/fault_codes.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/wait.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#include <unistd.h>
#include <vector>

namespace zkqe {
namespace platform {

namespace {

bool makePipe(int ends[2]) {
    if (::pipe(ends) != 0)
        return false;
    ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    return true;
}

// Every parent end of every live worker, closed in each new child so that a
// worker's death shows as the end of its pipe to the parent alone.
std::vector<int> parentEnds;

void forget(int fd) {
    for (std::size_t i = 0; i < parentEnds.size(); ++i)
        if (parentEnds[i] == fd) {
            parentEnds[i] = parentEnds.back();
            parentEnds.pop_back();
            return;
        }
}

// In a new copy: ended with the process that made it, which may already be
// gone.
void endWithMaker(pid_t maker) {
#if defined(__linux__)
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != maker)
        ::_exit(1);
#else
    (void)maker;
#endif
}

WorkerEnd endFrom(int status) {
    WorkerEnd end;
    if (WIFEXITED(status)) {
        end.exited = true;
        end.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        end.aborted = signal == SIGABRT;
        end.fault = end.aborted ? 0 : faultCodeFor(signal, 0, false);
        end.signal = end.aborted || end.fault != 0 ? 0 : signal;
    }
    return end;
}

} // namespace

bool startWorker(WorkerProcess& worker, WorkerBody body, void* context,
                 const std::vector<std::string>&) {
    int tasks[2], findings[2];
    if (!makePipe(tasks))
        return false;
    if (!makePipe(findings)) {
        ::close(tasks[0]), ::close(tasks[1]);
        return false;
    }
    std::fflush(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        for (int fd : {tasks[0], tasks[1], findings[0], findings[1]})
            ::close(fd);
        return false;
    }
    if (pid == 0) {
        endWithMaker(parent);
        for (int fd : parentEnds)
            ::close(fd);
        ::close(tasks[1]);
        ::close(findings[0]);
        // A parent gone without a word must not leave its worker writing
        // into a pipe nobody reads.
        std::signal(SIGPIPE, SIG_DFL);
        ::_exit(body(tasks[0], findings[1], context));
    }
    ::close(tasks[0]);
    ::close(findings[1]);
    worker.process = pid;
    worker.tasks = tasks[1];
    worker.findings = findings[0];
    parentEnds.push_back(worker.tasks);
    parentEnds.push_back(worker.findings);
    return true;
}

void removeFileFromHandler(const char* path) {
    ::unlink(path);
}

void removeFolderFromHandler(const char* path) {
    ::rmdir(path);
}

// A copy of the process needs no channel by name.
bool openWorkerChannel(const std::string&, int*, int*) {
    return false;
}

WorkerEnd endWorker(WorkerProcess& worker, bool kill) {
    WorkerEnd end;
    if (worker.process == 0)
        return end;
    const pid_t pid = static_cast<pid_t>(worker.process);
    if (kill)
        ::kill(pid, SIGKILL);
    for (int fd : {worker.tasks, worker.findings}) {
        forget(fd);
        ::close(fd);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    worker = WorkerProcess();
    return endFrom(status);
}

bool processesCanBeCopied() {
    return true;
}

bool runInCopy(int (*body)(void*), void* context, WorkerEnd& end) {
    // Whether the copy's body returned, set by the copy where its maker
    // reads it: an exit(0) inside the body ends the copy the same way.
    static volatile std::uint32_t* returned = nullptr;
    static pid_t mapper = 0;
    const pid_t self = ::getpid();
    if (returned == nullptr || mapper != self) {
        void* page = ::mmap(nullptr, sizeof *returned, PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (page == MAP_FAILED)
            return false;
        returned = static_cast<volatile std::uint32_t*>(page);
        mapper = self;
    }
    *returned = 0;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        endWithMaker(self);
        const int result = body(context);
        *returned = 1;
        ::_exit(result);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    end = endFrom(status);
    end.returned = *returned == 1;
    return true;
}

namespace {
std::vector<pid_t> released;
} // namespace

void releaseWorker(WorkerProcess& worker) {
    for (int fd : {worker.tasks, worker.findings}) {
        forget(fd);
        ::close(fd);
    }
    released.push_back(static_cast<pid_t>(worker.process));
    worker = WorkerProcess();
}

void reapReleased(bool all) {
    for (std::size_t i = 0; i < released.size();) {
        pid_t ended;
        while ((ended = ::waitpid(released[i], nullptr, all ? 0 : WNOHANG)) < 0 && errno == EINTR) {
        }
        if (ended == 0) {
            ++i;
            continue;
        }
        released[i] = released.back();
        released.pop_back();
    }
}

void killFromHandler(std::intptr_t process) {
#if defined(__linux__)
    (void)process; // the parent-death signal ends it
#else
    if (process != 0)
        ::kill(static_cast<pid_t>(process), SIGKILL);
#endif
}

int waitForReadable(const int* fds, std::size_t count, int milliseconds) {
    std::vector<pollfd> polled(count);
    for (std::size_t i = 0; i < count; ++i)
        polled[i] = pollfd{fds[i], POLLIN, 0};
    int ready;
    while ((ready = ::poll(polled.data(), polled.size(), milliseconds)) < 0 && errno == EINTR) {
    }
    for (std::size_t i = 0; ready > 0 && i < count; ++i)
        if (polled[i].revents != 0)
            return static_cast<int>(i);
    return -1;
}

long readSome(int fd, void* buffer, std::size_t size) {
    ssize_t got;
    while ((got = ::read(fd, buffer, size)) < 0 && errno == EINTR) {
    }
    return static_cast<long>(got);
}

// A worker that died is a failed write, never a SIGPIPE that ends the
// parent: the signal is held back while writing and taken if it came.
bool writeAll(int fd, const void* data, std::size_t size) {
    sigset_t pipeSignal, before;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    const char* bytes = static_cast<const char*>(data);
    bool whole = true;
    while (size > 0) {
        const ssize_t put = ::write(fd, bytes, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            whole = false;
            break;
        }
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    if (!whole && errno == EPIPE && !sigismember(&before, SIGPIPE)) {
        const timespec now{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return whole;
}

unsigned usableCores() {
#ifdef CPU_COUNT
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
#endif
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1;
}

} // namespace platform
} // namespace zkqe
