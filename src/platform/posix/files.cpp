// SPDX-License-Identifier: MIT
// POSIX report-file services: the drains of a FILE's buffer for a dying
// process, the FILE lock, the whole write of a report's text, a file
// replaced from a handler; whether a stream is a terminal.
//
// The drain reads glibc's public FILE fields (the write area between
// _IO_write_base and _IO_write_ptr) and hands them to write(2): no lock, no
// allocation, so it may run in a signal handler. Other C libraries keep their
// buffer private; there the drain does nothing.
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace zkqe {
namespace platform {

// Signal-safe.
void drainWithoutLock(std::FILE* file) {
#if defined(__GLIBC__)
    const char* next = file->_IO_write_base;
    const char* end = file->_IO_write_ptr;
    if (next == nullptr || end <= next)
        return;
    const int fd = fileno_unlocked(file);
    while (fd >= 0 && next < end) {
        const ssize_t written = write(fd, next, static_cast<std::size_t>(end - next));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        next += written;
    }
    // Written once only, should the process still write before it ends.
    file->_IO_write_ptr = file->_IO_write_base;
#else
    (void)file;
#endif
}

namespace {
// How long the alarm waits for a FILE's lock before it drains without it.
constexpr int kDrainLockTries = 50;
constexpr long kDrainLockPauseNanoseconds = 5 * 1000 * 1000;
} // namespace

void drainBeforeAbort(std::FILE* file) {
    for (int attempt = 0; attempt < kDrainLockTries; ++attempt) {
        if (ftrylockfile(file) == 0) {
            std::fflush(file);
            funlockfile(file);
            return;
        }
        const timespec pause = {0, kDrainLockPauseNanoseconds};
        nanosleep(&pause, nullptr);
    }
    drainWithoutLock(file);
}

namespace {

// All `length` bytes, again after an interruption or a short write; with
// system calls alone, so a signal handler may call it.
bool writeDescriptor(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t written = write(fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

bool writeWhole(std::FILE* file, const char* data, std::size_t length) {
    return std::fflush(file) == 0 && writeDescriptor(fileno(file), data, length);
}

bool replaceFileFromHandler(const char* path, const char* data, std::size_t length) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = writeDescriptor(fd, data, length);
    return close(fd) == 0 && written;
}

void lockFile(std::FILE* file) {
    flockfile(file);
}

void unlockFile(std::FILE* file) {
    funlockfile(file);
}

bool isTerminal(std::FILE* file) {
    return file != nullptr && isatty(fileno(file)) != 0;
}

} // namespace platform
} // namespace zkqe
