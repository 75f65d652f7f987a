// SPDX-License-Identifier: MIT
// Win32 report-file services: the lockless drain of a FILE's buffer for a
// dying process, and the FILE lock; whether a stream is a terminal.
//
// The drain reads the classic runtime's FILE fields (_base, _ptr, _flag, the
// layout every msvcrt-based build shares) and hands them to _write: no lock,
// no allocation. The universal runtime keeps FILE private; there the drain
// does nothing.
#include "platform/platform.h"

#include <cstdio>
#include <io.h>

namespace zkqe {
namespace platform {

// Signal-safe: the faulting thread's exception filter may call it.
void drainWithoutLock(std::FILE* file) {
#if !defined(_UCRT)
    if ((file->_flag & _IOWRT) == 0 || file->_base == nullptr || file->_ptr <= file->_base)
        return;
    const char* next = file->_base;
    const char* end = file->_ptr;
    const int fd = file->_file;
    while (fd >= 0 && next < end) {
        const int written = _write(fd, next, static_cast<unsigned>(end - next));
        if (written <= 0)
            break;
        next += written;
    }
    // Written once only, should the process still write before it ends.
    file->_cnt += static_cast<int>(file->_ptr - file->_base);
    file->_ptr = file->_base;
#else
    (void)file;
#endif
}

void lockFile(std::FILE* file) {
    _lock_file(file);
}

void unlockFile(std::FILE* file) {
    _unlock_file(file);
}

bool isTerminal(std::FILE* file) {
    return file != nullptr && _isatty(_fileno(file)) != 0;
}

} // namespace platform
} // namespace zkqe
