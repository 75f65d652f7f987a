// SPDX-License-Identifier: MIT
// qe_fopen, qe_vfprintf, qe_fprintf and pathSeparator: the one way the library
// opens files and writes text. They keep no state and take no lock; callers
// that share a FILE serialise their writes themselves.
#include "zkqe_output.h"

#include "diagnostics/diagnostics.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Paths up to this size (terminator included) are converted on the stack.
constexpr std::size_t kLocalPathSize = 260;
// The debugger copy holds 1023 characters and the terminator.
constexpr std::size_t kDebuggerBufferSize = 1024;

FILE* standardStreamFor(const char* path) {
    if (std::strcmp(path, "/dev/fd/1") == 0 || std::strcmp(path, "/dev/stdout") == 0 ||
        std::strcmp(path, "/dev/tty") == 0)
        return stdout;
    if (std::strcmp(path, "/dev/fd/2") == 0 || std::strcmp(path, "/dev/stderr") == 0)
        return stderr;
    return nullptr;
}

} // namespace

// Built from a constant so that it holds its value before any static
// constructor runs: a static object of the program may build a path first.
const char pathSeparator[] = {zkqe::platform::kPathSeparator, '\0'};

FILE* qe_fopen(const char* path, const char* mode) {
    ZKQE_PRECONDITION(path != nullptr, fopenPath);
    ZKQE_PRECONDITION(mode != nullptr, fopenMode);

    if (FILE* standard = standardStreamFor(path))
        return standard;

    const std::size_t size = std::strlen(path) + 1;
    char local[kLocalPathSize];
    char* copy = local;
    if (size > kLocalPathSize) {
        copy = static_cast<char*>(std::malloc(size));
        if (copy == nullptr)
            return nullptr;
    }
    std::memcpy(copy, path, size);
    const char separator = zkqe::platform::kPathSeparator;
    for (char* p = copy; *p != '\0'; ++p)
        if (*p == '/')
            *p = separator;

    FILE* file = std::fopen(copy, mode);
    if (copy != local) {
        const int openErrno = errno;
        std::free(copy);
        errno = openErrno;
    }
    return file;
}

int qe_vfprintf(FILE* stream, const char* format, va_list args) {
    int result = -1;
    va_list debuggerArgs;
    va_copy(debuggerArgs, args);
    if (stream != nullptr)
        result = std::vfprintf(stream, format, args);
    if (zkqe::platform::debuggerPresent()) {
        // The copy is cut at the buffer's size; the stream above always gets
        // the whole text.
        char buf[kDebuggerBufferSize];
        const int formatted = std::vsnprintf(buf, sizeof buf, format, debuggerArgs);
        if (formatted < 0)
            buf[0] = '\0';
        // The caller learns how long its text was, not how much of it the
        // debugger got: a NUL inside it or the buffer's end cuts only the copy.
        if (stream == nullptr)
            result = formatted;
        zkqe::platform::debuggerOutput(buf);
    }
    va_end(debuggerArgs);
    return result;
}

int qe_fprintf(FILE* stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = qe_vfprintf(stream, format, args);
    va_end(args);
    return result;
}
