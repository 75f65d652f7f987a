// SPDX-License-Identifier: MIT
// POSIX process services: debugger detection through /proc, the debugger
// copy, sleeping, the standard descriptors, the kind of process end and the
// host's name.
//
// POSIX has no debugger channel apart from the program's own output, and a
// tracer such as strace is no reader of one: the debugger copy goes only
// where ZKTEST_DEBUGGER_OUTPUT names (a descriptor number, or a file that is
// appended to), else nowhere. The destination is resolved once, with
// getenv and open only, so the crash guard's handler may be the first to
// write.
//
// debuggerPresent() runs on every report write, so it reads
// /proc/self/status with plain system calls into a stack buffer (no stdio
// stream, no allocation, safe in a signal handler) and keeps the answer for
// a short while: Linux offers no cheap exact check, and three system calls
// per line would dominate the cost of writing a report.
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace zkqe {
namespace platform {

namespace {

bool readTracerPid() {
    int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[4096];
    ssize_t total = 0;
    for (;;) {
        ssize_t n = ::read(fd, buf + total, sizeof buf - 1 - static_cast<size_t>(total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += n;
        if (static_cast<size_t>(total) >= sizeof buf - 1)
            break;
    }
    ::close(fd);
    buf[total] = '\0';
    const char* field = std::strstr(buf, "TracerPid:");
    if (field == nullptr)
        return false;
    field += sizeof "TracerPid:" - 1;
    while (*field == ' ' || *field == '\t')
        ++field;
    return *field != '\0' && *field != '0';
}

#if defined(CLOCK_MONOTONIC_COARSE)
constexpr clockid_t kCheckClock = CLOCK_MONOTONIC_COARSE;
#else
constexpr clockid_t kCheckClock = CLOCK_MONOTONIC;
#endif

// A debugger that attaches is seen within this time.
constexpr long long kRecheckNanoseconds = 100LL * 1000 * 1000;

// 0 means "never checked". Lock-free atomics, so the check stays usable from
// the crash guard's signal handler.
std::atomic<long long> lastCheck{0};
std::atomic<bool> lastAnswer{false};

} // namespace

bool debuggerPresent() {
    timespec now;
    clock_gettime(kCheckClock, &now);
    const long long stamp = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec + 1;
    const long long previous = lastCheck.load(std::memory_order_relaxed);
    if (previous != 0 && stamp - previous < kRecheckNanoseconds)
        return lastAnswer.load(std::memory_order_relaxed);
    const bool present = readTracerPid();
    lastAnswer.store(present, std::memory_order_relaxed);
    lastCheck.store(stamp, std::memory_order_relaxed);
    return present;
}

namespace {

constexpr int kUnresolved = -2;
std::atomic<int> debuggerDescriptor{kUnresolved};

int resolveDebuggerDescriptor() {
    int fd = debuggerDescriptor.load(std::memory_order_acquire);
    if (fd != kUnresolved)
        return fd;
    const char* name = std::getenv("ZKTEST_DEBUGGER_OUTPUT");
    int resolved = -1;
    bool opened = false;
    if (name != nullptr && *name != '\0') {
        char* end = nullptr;
        const long number = std::strtol(name, &end, 10);
        if (*end == '\0' && number >= 0 && number <= 1024)
            resolved = static_cast<int>(number);
        else
            opened =
                (resolved = ::open(name, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644)) >= 0;
    }
    if (!debuggerDescriptor.compare_exchange_strong(fd, resolved, std::memory_order_acq_rel)) {
        // Another thread resolved it first.
        if (opened)
            ::close(resolved);
        return fd;
    }
    return resolved;
}

} // namespace

void debuggerOutput(const char* text) {
    const int fd = resolveDebuggerDescriptor();
    if (fd < 0)
        return;
    size_t left = std::strlen(text);
    while (left > 0) {
        ssize_t n = ::write(fd, text, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text += n;
        left -= static_cast<size_t>(n);
    }
}

void sleepMilliseconds(unsigned milliseconds) {
    timespec request;
    request.tv_sec = static_cast<time_t>(milliseconds / 1000u);
    request.tv_nsec = static_cast<long>(milliseconds % 1000u) * 1000000L;
    while (nanosleep(&request, &request) != 0 && errno == EINTR) {
    }
}

void processStartup() {
    ensureStandardDescriptors();
}

void ensureStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor is this one, as the ones below are open.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

// abort(), the alarm and fatal signals end the process without running static
// destructors or exit handlers, so a finaliser that runs sees an orderly end.
bool processEndingInOrder() {
    return true;
}

std::string hostName() {
    char name[256];
    if (gethostname(name, sizeof name) != 0)
        return "";
    // POSIX leaves a truncated name unterminated.
    return std::string(name, strnlen(name, sizeof name));
}

} // namespace platform
} // namespace zkqe
