// SPDX-License-Identifier: MIT
// The test object's report: its opening for a run, free lines, the stream
// piece handed out by outStream(), the header of a newly named file, the
// summary, the exit lines, the moves of the report between files and its
// closing. These operations alone open, switch and close the report, through
// reports/report_files.h, which alone writes to it.
//
// The report is one open FILE, primaryOutput, with two doors: the object's
// writers use it directly, and outputStream borrows it (qe_filebuf::borrow),
// so neither way of writing closes what a thread writing the other way
// holds, and pieces land in the order written. The stream lets go of the
// FILE before the FILE is closed. Every block and every stream line reaches
// the OS in one write: a hang, an abort or a crash loses no line written
// before it, and a block never has another writer's bytes inside it, not
// even those of another FILE appending to the same file. A report is
// therefore always open for appending (a new one is truncated first). A
// write or close that fails is counted, and go() warns.
//
// Locks: every operation that writes, opens, switches or closes the report
// holds the object's mutex (recursive) while it does, printSummary but for
// its pause; outStream() lets go of it before returning the stream. Lock
// order: the object's mutex, then the stream buffer's lock or a counter's
// mutex, then the FILE's own lock, never the reverse.
#include "zkqe_test.h"

#include "zkqe_output.h"
#include "zkqe_status.h"
#include "diagnostics/diagnostics.h"
#include "platform/platform.h"
#include "reports/report_layout.h"
#include "reports/report_files.h"
#include "reports/report_writer.h"
#include "streams/stream_pieces.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned kSummaryPauseMilliseconds = 500;

} // namespace

void ZKQETest::openPrimaryOutput_() {
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

void ZKQETest::prepareForFilePtrOutput() {
    openPrimaryOutput_();
    // The stream borrows the open FILE at once, so that what a thread
    // streamed while the report was between files goes out now, and the
    // piece this thread began and has not ended goes first: its text was
    // written before what the caller writes now.
    if (qe_filebuf* buffer = outputStream.rdbuf()()) {
        buffer->borrow(primaryOutput);
        buffer->flush();
    }
}

void ZKQETest::handOverStreamPieces_() {
    if (qe_filebuf* buffer = outputStream.rdbuf()())
        zkqe::StreamPieces::handOverAll(*buffer);
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
    }
    if (!outputStream.is_open())
        std::abort();
    outputStream << zkqe::layout::kStreamPrefix;
    return outputStream;
}

void ZKQETest::printHeaderInfo() {
    ZKQEMutexGuard guard(mutex);
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
    {
        ZKQEMutexGuard guard(mutex);
        prepareForFilePtrOutput();
        zkqe::writeFileAssertions(primaryOutput, fileAssertionCount);
        closePrimaryOutput();
        prepareForFilePtrOutput();
        zkqe::writeSummary(primaryOutput, ZKQESingletonAssertionCounter::getCount(),
                           ZKQESingletonAssertionFailedCounter::getCount());
    }
    // Other threads may write during the pause; the summary is already out.
    zkqe::platform::sleepMilliseconds(kSummaryPauseMilliseconds);
    ZKQEMutexGuard guard(mutex);
    closePrimaryOutput();
}

void ZKQETest::callExit() {
    // Held until the process ends: no other thread may write after the exit
    // lines.
    mutex->acquire();
    prepareForFilePtrOutput();
    handOverStreamPieces_();
    zkqe::writeExitEnd(primaryOutput, detectedErrors_,
                       ZKQESingletonAssertionFailedCounter::getCount());
    outputStream.close();
    zkqe::closeReportFile(primaryOutput);
    primaryOutput = nullptr;
    std::exit(-1);
}

void ZKQETest::finishReport_() {
    ZKQEMutexGuard guard(mutex);
    // The stream lets go of the FILE it borrows first; a piece no thread
    // ended still belongs in the report.
    handOverStreamPieces_();
    outputStream.close();
    if (primaryOutput != nullptr)
        zkqe::closeReportFile(primaryOutput);
    primaryOutput = nullptr;
}

void ZKQETest::closePrimaryOutput() {
    closeReport_("Closed failed in closePrimaryOutput: ");
}

void ZKQETest::closeReport_(const char* closeFailedText) {
    // The stream lets go of the FILE it borrows first, so that no thread
    // writes through it into a closed FILE; the piece this thread left
    // unended goes into the file being left. Other threads' pieces wait for
    // the next file the stream borrows, where they land whole.
    if (outputStream.is_open()) {
        outputStream.flush();
        outputStream.close();
    }
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
    // Like every writer: no other thread writes through the FILE or the path
    // while they are replaced.
    ZKQEMutexGuard guard(mutex);
    // No file to change to: say so and keep writing where the report is.
    if (name == nullptr) {
        qe_fprintf(stderr, "*** ERROR: changeOutputFile needs a file name\n");
        return;
    }
    // The stream's lock is held across the move and the stream borrows the
    // new file before it is let go: a thread streaming meanwhile waits, and
    // its piece, begun in the file left or not, lands whole in the new one,
    // in its order with everything else the thread writes.
    qe_filebuf* buffer = outputStream.rdbuf()();
    ZKQEMutex* bufferLock = buffer != nullptr ? zkqe::StreamPieces::lockOf(*buffer) : nullptr;
    if (bufferLock != nullptr)
        bufferLock->acquire();
    moveReport_(name);
    // A failed open shows at the next write, which reports it.
    if (primaryOutput == nullptr)
        primaryOutput = zkqe::openReportFile(fullOutputFileName, "a");
    if (buffer != nullptr && primaryOutput != nullptr)
        buffer->borrow(primaryOutput);
    if (bufferLock != nullptr)
        bufferLock->release();
}

void ZKQETest::moveReport_(const char* name) {
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

void ZKQETest::openRunReport_() {
    ZKQEMutexGuard guard(mutex);
    // A report left open since an earlier run (a print after that go()) is
    // finished first, so its lines land before the new run's.
    closePrimaryOutput();

    const char separator = pathSeparator[0];
    const char* file = outputFile_ != nullptr ? outputFile_ : "";

    // A file name that is itself a path is used unchanged, and the directory
    // is dropped for the rest of the object's life.
    if (outputDir_ != nullptr && outputDir_[0] != '\0' &&
        (file[0] == '/' || std::strchr(file, separator) != nullptr))
        outputDir_[0] = '\0';

    // The status file goes beside the report. The prefix ends in the
    // separator; the directory keeps its '/'.
    std::size_t prefixLength = 0;
    char* path = zkqe::joinReportPath(outputDir_, file, true, &prefixLength);
    const char afterPrefix = path[prefixLength];
    path[prefixLength] = '\0';
    ZKQESingletonFileObject::getZKQESingletonFileObject(path, file);
    path[prefixLength] = afterPrefix;

    replaceString_(fullOutputFileName, path);
    std::free(path);

    primaryOutput = zkqe::openReportFile(fullOutputFileName, appendStatus_ != 0 ? "a" : "w");
    if (primaryOutput == nullptr)
        zkqe::reportOpenFailed(fullOutputFileName, errno);
}
