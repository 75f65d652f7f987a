// SPDX-License-Identifier: MIT
// POSIX death-check children: a fork that runs the statement with its
// standard error in a pipe. The parent flushes its streams before the fork,
// and the child never ends through the parent's exit processing: a return
// ends it with _exit, and an exit() the statement makes is cut short by an
// exit handler of the child's own (on_exit, where the C library has it),
// registered last and so run first, which flushes only what the child
// itself wrote and keeps the status. Between the fork and the body the
// child makes only system calls (on_exit aside), so a parent with other
// threads cannot leave it a lock held for ever.
#include "platform/child_process.h"
#include "platform/posix/fault_codes.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace zkqe {
namespace platform {

namespace {

// A forked child says "my statement returned" on a pipe of its own, so
// that no exit status it could give of itself is taken for it.
constexpr char kReturnedMark = 'R';

// The parent's fault and abort handlers would report the child's death as
// the parent's: the child dies of its signal plainly.
void restoreDefaultSignals() {
    const int signals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT};
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : signals)
        sigaction(signal, &action, nullptr);
}

#if defined(__GLIBC__)
void exitAtOnce(int status, void*) {
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}
#endif

// Everything until end of file, retrying an interrupted read.
std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace

ChildEnd runChild(void (*body)(void*), void* context, const char*) {
    ChildEnd end;
    int errors[2], marks[2];
    if (pipe(errors) != 0) {
        end.text = std::strerror(errno);
        return end;
    }
    if (pipe(marks) != 0) {
        end.text = std::strerror(errno);
        close(errors[0]), close(errors[1]);
        return end;
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(errors[0]);
        close(marks[0]);
        dup2(errors[1], 2);
        close(errors[1]);
        restoreDefaultSignals();
#if defined(__GLIBC__)
        on_exit(exitAtOnce, nullptr);
#endif
        body(context);
        std::fflush(stdout);
        std::fflush(stderr);
        (void)!write(marks[1], &kReturnedMark, 1);
        _exit(0);
    }
    close(errors[1]);
    close(marks[1]);
    if (pid < 0) {
        end.text = std::strerror(errno);
        close(errors[0]), close(marks[0]);
        return end;
    }
    // Standard error first and whole: a child that fills the pipe waits for
    // it, while the mark is one byte at the very end.
    end.text = readAll(errors[0]);
    const bool returned = readAll(marks[0]).size() == 1;
    close(errors[0]);
    close(marks[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (returned) {
        end.way = ChildEnd::Way::returned;
    } else if (WIFEXITED(status)) {
        end.way = ChildEnd::Way::exited;
        end.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        end.way = ChildEnd::Way::died;
        end.signal = WTERMSIG(status);
        end.aborted = end.signal == SIGABRT;
        end.code = faultCodeFor(end.signal, 0, false);
    }
    return end;
}

const char* const kNullDevice = "/dev/null";

// Never started: a fork runs its statement where runChild is, and writes
// only what the statement writes.
void prepareStartedChild() {}
void muteStandardStreams() {}
void unmuteStandardStreams() {}

// A child run by hand: what its statement wrote is flushed, as the process
// a statement returns in on Windows flushes it.
void endChildReturned() {
    std::fflush(nullptr);
    _exit(0);
}

} // namespace platform
} // namespace zkqe
