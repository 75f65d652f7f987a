// SPDX-License-Identifier: MIT
// The test object's report writers: free lines, the stream piece handed out
// by outStream(), the header of a newly named file, the summary, the exit
// lines, and the moves of the report between files.
//
// The report is one open FILE, primaryOutput, with two doors: the object's
// writers use it directly, and outputStream borrows it (qe_filebuf::borrow),
// so neither way of writing closes what a thread writing the other way
// holds, and pieces land in the order written. The stream lets go of the
// FILE before the FILE is closed. Every writer, and the stream after every
// piece that ends a line, hands what it wrote to the OS in one write before
// it lets go of the FILE: a hang, an abort or a crash loses no line written
// before it, and a
// block never has another writer's bytes inside it, not even those of
// another FILE appending to the same file. A report is therefore always open
// for appending (a new one is truncated first). A write or close that fails
// is counted, and go() warns.
//
// Locks: print, outStream and callExit hold the object's mutex for their
// whole work; the other operations take none of their own (the assertion and
// tag writers call prepareForFilePtrOutput with the mutex held). Lock order:
// the object's mutex, then the stream buffer's lock or a counter's mutex,
// then the FILE's own lock, never the reverse.
#include "zkqe_test.h"

#include "zkqe_output.h"
#include "diagnostics/diagnostics.h"
#include "platform/platform.h"
#include "reports/report_layout.h"
#include "reports/report_files.h"
#include "reports/report_writer.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned kSummaryPauseMilliseconds = 500;

} // namespace

namespace zkqe {

namespace {

std::atomic<unsigned> failedReportWrites{0};
std::atomic<int> failedReportErrno{0};

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
        failedReportErrno.store(result != 0 ? closeErrno : 0, std::memory_order_relaxed);
        failedReportWrites.fetch_add(1, std::memory_order_relaxed);
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

char* joinReportPath(const char* directory, const char* file, bool trailingSlashIsSeparator,
                     std::size_t* prefixLength) {
    const char separator = zkqe::platform::kPathSeparator;
    const std::size_t dirLength = directory != nullptr ? std::strlen(directory) : 0;
    const std::size_t fileLength = std::strlen(file);
    char* path = static_cast<char*>(std::malloc(dirLength + 1 + fileLength + 1));
    if (path == nullptr)
        outOfMemory();
    std::size_t length = 0;
    if (dirLength > 0) {
        std::memcpy(path, directory, dirLength);
        length = dirLength;
        if (trailingSlashIsSeparator && path[length - 1] == '/')
            path[length - 1] = separator;
        if (path[length - 1] != separator)
            path[length++] = separator;
    }
    if (prefixLength != nullptr)
        *prefixLength = length;
    std::memcpy(path + length, file, fileLength + 1);
    return path;
}

} // namespace zkqe

void ZKQETest::prepareForFilePtrOutput() {
    if (primaryOutput != nullptr)
        return;
    outputStream.close();
    // Writing before any run has named the report is a usage error; it is
    // reported like outStream()'s, rather than as a null path given to
    // qe_fopen.
    if (fullOutputFileName == nullptr)
        zkqe::usageErrorBox("You must call the go() method before writing to the report!!");
    primaryOutput = zkqe::openReportFile(fullOutputFileName, "a");
    if (primaryOutput == nullptr)
        zkqe::reportOpenFailed(fullOutputFileName, errno);
}

void ZKQETest::print(const char* text) {
    ZKQEMutexGuard guard(mutex);
    prepareForFilePtrOutput();
    zkqe::writePrintLine(primaryOutput, text);
}

qe_ofstream& ZKQETest::outStream() {
    ZKQEMutexGuard guard(mutex);
    if (!outputStream.is_open()) {
        if (fullOutputFileName == nullptr)
            zkqe::usageErrorBox("You must call the go() method before using outStream()!!");
        prepareForFilePtrOutput();
        if (qe_filebuf* buffer = outputStream.rdbuf()())
            buffer->borrow(primaryOutput);
    }
    if (!outputStream.is_open())
        std::abort();
    outputStream << zkqe::layout::kStreamPrefix;
    return outputStream;
}

void ZKQETest::printHeaderInfo() {
    lastAssertionFailed_.store(false, std::memory_order_relaxed);
    detectedErrors_ = 0;
    fileAssertionCount = 0;
    // A report still open on the previous file is finished first, so that
    // its buffered lines are not lost with the FILE.
    if (primaryOutput != nullptr)
        closePrimaryOutput();
    createFullOutputFileName();
    primaryOutput = zkqe::openReportFile(fullOutputFileName, appendStatus_ != 0 ? "a" : "w");
    if (primaryOutput == nullptr)
        zkqe::headerOpenFailed(fullOutputFileName, errno);
    zkqe::writeHeader(primaryOutput, zkqe::HeaderKind::file,
                      {testTag_, compilerId_, machineId_, remark_});
    closePrimaryOutput();
}

void ZKQETest::printSummary() {
    prepareForFilePtrOutput();
    zkqe::writeFileAssertions(primaryOutput, fileAssertionCount);
    closePrimaryOutput();
    prepareForFilePtrOutput();
    zkqe::writeSummary(primaryOutput, ZKQESingletonAssertionCounter::getCount(),
                       ZKQESingletonAssertionFailedCounter::getCount());
    zkqe::platform::sleepMilliseconds(kSummaryPauseMilliseconds);
    closePrimaryOutput();
}

void ZKQETest::callExit() {
    // Held until the process ends: no other thread may write after the exit
    // lines.
    mutex->acquire();
    prepareForFilePtrOutput();
    zkqe::writeExitEnd(primaryOutput, detectedErrors_,
                       ZKQESingletonAssertionFailedCounter::getCount());
    outputStream.close();
    zkqe::closeReportFile(primaryOutput);
    primaryOutput = nullptr;
    std::exit(-1);
}

void ZKQETest::closePrimaryOutput() {
    closeReport_("Closed failed in closePrimaryOutput: ");
}

void ZKQETest::closeReport_(const char* closeFailedText) {
    // The stream lets go of the FILE it borrows first, so that no thread
    // writes through it into a closed FILE.
    if (outputStream.is_open())
        outputStream.close();
    if (primaryOutput != nullptr) {
        errno = 0;
        if (zkqe::closeReportFile(primaryOutput) != 0)
            std::perror(closeFailedText);
        // fclose releases the FILE even when it reports a failure, so the
        // pointer is dropped either way: writing through it again would use
        // freed memory.
        primaryOutput = nullptr;
    }
}

void ZKQETest::changeOutputFile(const char* name) {
    // No file to change to: say so and keep writing where the report is.
    if (name == nullptr) {
        qe_fprintf(stderr, "*** ERROR: changeOutputFile needs a file name\n");
        return;
    }
    // The stream is closed too, so that the next outStream() writes into the
    // new file rather than on into the one being left.
    closeReport_("Closed failed in changeOutputFile: ");

    // The file the object started with gets its name in entry 0 at the first
    // change, so that coming back to it appends instead of truncating it.
    outputFiles.nameFirstOutfile(outputFile_);
    // Every file keeps its counts in its own entry, also when the file being
    // left is not the table's last entry.
    int leaving = outputFile_ != nullptr ? outputFiles.findOutfile(outputFile_) : -1;
    if (leaving < 0)
        leaving = outputFiles.currentOutfile() - 1;
    outputFiles.setCounts(leaving, fileAssertionCount, detectedErrors_);

    replaceString_(outputFile_, name);
    const int found = outputFiles.findOutfile(name);
    if (found >= 0) {
        fileAssertionCount = outputFiles.getAssertions(found);
        detectedErrors_ = outputFiles.getFailures(found);
        createFullOutputFileName();
        // A failed open shows at the next write, which reports it.
        primaryOutput = zkqe::openReportFile(fullOutputFileName, "a");
        return;
    }
    outputFiles.insertNewoutFile(fileAssertionCount, detectedErrors_, name);
    printHeaderInfo();
}

void ZKQETest::createFullOutputFileName() {
    char* path =
        zkqe::joinReportPath(outputDir_, outputFile_ != nullptr ? outputFile_ : "", false, nullptr);
    replaceString_(fullOutputFileName, path);
    std::free(path);
}
