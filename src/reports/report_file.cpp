// SPDX-License-Identifier: MIT
// The report file's opening, closing, paths and whole writes
// (reports/report_files.h says why every text goes out in one write).
//
// Locks: writeReportText takes the FILE's own lock and nothing else; its
// callers hold the test object's mutex first where other threads write.
#include "reports/report_files.h"

#include "zkqe_output.h"
#include "diagnostics/diagnostics.h"
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zkqe {

namespace {

std::atomic<unsigned> failedReportWrites{0};
std::atomic<int> failedReportErrno{0};

void countFailedWrite(int failedErrno) {
    failedReportErrno.store(failedErrno, std::memory_order_relaxed);
    failedReportWrites.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

FILE* openReportFile(const char* path, const char* mode) {
    FILE* file = qe_fopen(path, mode);
    // Appending, so that other FILEs on the same file (the user's own
    // streams, another test object's report) never overwrite the report's
    // lines nor it theirs.
    if (file != nullptr && file != stdout && file != stderr && mode[0] != 'a') {
        std::fclose(file);
        file = qe_fopen(path, "a");
    }
    return file;
}

int closeReportFile(FILE* file) {
    const bool writeFailed = std::ferror(file) != 0;
    int result;
    if (file == stdout || file == stderr)
        result = std::fflush(file) == 0 ? 0 : EOF;
    else
        result = std::fclose(file);
    if (writeFailed || result != 0) {
        const int closeErrno = errno;
        countFailedWrite(result != 0 ? closeErrno : 0);
        errno = closeErrno;
    }
    return result;
}

unsigned failedReportWriteCount() {
    return failedReportWrites.load(std::memory_order_relaxed);
}

void warnReportNotWhole(const char* path) {
    const int failedErrno = failedReportErrno.load(std::memory_order_relaxed);
    qe_fprintf(stderr, "*** WARNING: report %s was not written whole: %s\n", printable(path),
               failedErrno != 0 ? std::strerror(failedErrno) : "a write failed");
}

namespace {

// The one rule: writes directory, separator (unless the directory ends with
// it) and file into `path`, which has room for them and a ".sta".
std::size_t joinInto(char* path, const char* directory, std::size_t dirLength, const char* file,
                     std::size_t fileLength, bool trailingSlashIsSeparator) {
    const char separator = platform::kPathSeparator;
    std::size_t length = 0;
    if (dirLength > 0) {
        std::memcpy(path, directory, dirLength);
        length = dirLength;
        if (trailingSlashIsSeparator && path[length - 1] == '/')
            path[length - 1] = separator;
        if (path[length - 1] != separator)
            path[length++] = separator;
    }
    std::memcpy(path + length, file, fileLength + 1);
    return length;
}

// Room for the joined path and the ".sta" a status path may add.
char* allocatePath(std::size_t dirLength, std::size_t fileLength) {
    return static_cast<char*>(std::malloc(dirLength + 1 + fileLength + 5));
}

} // namespace

char* joinReportPath(const char* directory, const char* file, bool trailingSlashIsSeparator,
                     std::size_t* prefixLength) {
    const std::size_t dirLength = directory != nullptr ? std::strlen(directory) : 0;
    const std::size_t fileLength = std::strlen(file);
    char* path = allocatePath(dirLength, fileLength);
    if (path == nullptr)
        outOfMemory();
    const std::size_t length =
        joinInto(path, directory, dirLength, file, fileLength, trailingSlashIsSeparator);
    if (prefixLength != nullptr)
        *prefixLength = length;
    return path;
}

char* statusPathFor(const char* directory, const char* file) {
    const std::size_t dirLength = directory != nullptr ? std::strlen(directory) : 0;
    const std::size_t fileLength = std::strlen(file);
    char* path = allocatePath(dirLength, fileLength);
    if (path == nullptr)
        return nullptr;
    joinInto(path, directory, dirLength, file, fileLength, false);
    // The extension is looked for after the last separator only, so a dot in
    // the directory part (such as ".") never swallows the file name.
    char* dot = std::strrchr(path, '.');
    const char* lastSeparator = std::strrchr(path, platform::kPathSeparator);
    const char* lastSlash = std::strrchr(path, '/');
    if (lastSlash != nullptr && (lastSeparator == nullptr || lastSlash > lastSeparator))
        lastSeparator = lastSlash;
    if (dot != nullptr && (lastSeparator == nullptr || dot > lastSeparator))
        std::strcpy(dot, ".sta");
    else
        std::strcat(path, ".sta");
    return path;
}

ReportText::~ReportText() {
    if (text_ != local_)
        std::free(text_);
}

void ReportText::reserve(std::size_t capacity) {
    if (capacity <= capacity_)
        return;
    char* grown = static_cast<char*>(std::malloc(capacity));
    if (grown == nullptr)
        outOfMemory();
    std::memcpy(grown, text_, size_ + 1);
    if (text_ != local_)
        std::free(text_);
    text_ = grown;
    capacity_ = capacity;
}

void ReportText::add(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(text_ + size_, capacity_ - size_, format, args);
    va_end(args);
    if (length > 0 && static_cast<std::size_t>(length) >= capacity_ - size_) {
        reserve(size_ + static_cast<std::size_t>(length) + capacity_);
        std::vsnprintf(text_ + size_, capacity_ - size_, format, again);
    }
    va_end(again);
    if (length > 0)
        size_ += static_cast<std::size_t>(length);
    text_[size_] = '\0';
}

void writeReportText(FILE* report, const ReportText& text) {
    if (report != nullptr) {
        platform::lockFile(report);
        const bool whole = platform::writeWhole(report, text.text(), text.size());
        const int failedErrno = errno;
        platform::unlockFile(report);
        if (!whole)
            countFailedWrite(failedErrno);
    }
    // The debugger's copy goes through the one function that writes to it.
    qe_fprintf(nullptr, "%s", text.text());
}

} // namespace zkqe
