// POSIX process services: debugger detection through /proc, debugger output
// on standard error, the '/' separator, sleeping and the kind of process end.
//
// debuggerPresent() runs on the failure path of every assertion, so it reads
// /proc/self/status with plain system calls into a stack buffer: no stdio
// stream, no allocation.
#include "platform/platform.h"
#include "zkqe_output.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

// The public separator is defined beside the platform's with a constant
// initialiser, so it holds its value before any static constructor runs.
const char pathSeparator[] = "/";

namespace zkqe {
namespace platform {

const char kPathSeparator[] = "/";

bool debuggerPresent() {
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

void debuggerOutput(const char* text) {
    // A debugger on POSIX reads the process's standard error.
    size_t left = std::strlen(text);
    while (left > 0) {
        ssize_t n = ::write(2, text, left);
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

void processStartup() {}

// abort(), the alarm and fatal signals end the process without running static
// destructors or exit handlers, so a finaliser that runs sees an orderly end.
bool processEndingInOrder() {
    return true;
}

} // namespace platform
} // namespace zkqe
