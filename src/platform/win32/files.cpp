// SPDX-License-Identifier: MIT
// Win32 report-file services: the lockless drain of a FILE's buffer for a
// dying process, the FILE lock, the whole write of a report's text, a file
// replaced from a handler; whether a stream is a terminal.
//
// The drain reads the classic runtime's FILE fields (_base, _ptr, _flag, the
// layout every msvcrt-based build shares) and hands them to _write: no lock,
// no allocation. The universal runtime keeps FILE private; there the drain
// does nothing.
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

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

// The runtime offers no try-lock on a FILE: the alarm drains without it.
void drainBeforeAbort(std::FILE* file) {
    drainWithoutLock(file);
}

// In text mode the runtime's _write translates line ends in small chunks,
// each its own WriteFile; the translation is done here instead and the
// descriptor is binary for the one write.
bool writeWhole(std::FILE* file, const char* data, std::size_t length) {
    if (std::fflush(file) != 0)
        return false;
    const int fd = _fileno(file);
    const int mode = _setmode(fd, _O_BINARY);
    if (mode == -1)
        return false;
    char* translated = nullptr;
    if ((mode & _O_BINARY) == 0) {
        std::size_t lineEnds = 0;
        for (std::size_t i = 0; i < length; ++i)
            lineEnds += data[i] == '\n';
        if (lineEnds > 0) {
            translated = static_cast<char*>(std::malloc(length + lineEnds));
            if (translated == nullptr) {
                _setmode(fd, mode);
                return false;
            }
            char* out = translated;
            for (std::size_t i = 0; i < length; ++i) {
                if (data[i] == '\n')
                    *out++ = '\r';
                *out++ = data[i];
            }
            data = translated;
            length += lineEnds;
        }
    }
    bool whole = true;
    while (length > 0) {
        const int written = _write(fd, data, static_cast<unsigned>(length));
        if (written <= 0) {
            whole = false;
            break;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    std::free(translated);
    _setmode(fd, mode);
    return whole;
}

bool replaceFileFromHandler(const char* path, const char* data, std::size_t length) {
    const HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    while (length > 0) {
        DWORD written = 0;
        const DWORD chunk = length > 0x10000000 ? 0x10000000 : static_cast<DWORD>(length);
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            break;
        data += written;
        length -= written;
    }
    return CloseHandle(file) != 0 && length == 0;
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
