// SPDX-License-Identifier: MIT
// ZKQETest, the class a test program derives its test from, and
// tooManyFailures, the exception that ends a test body at its failure limit.
//
// A test program builds one object of its derived class, calls
// processDefaultArguments(argc, argv) and returns go()'s result:
//
//     class RingTest : public ZKQETest {
//     public:
//         RingTest() : ZKQETest("ring", "", ".", "ring.out") {}
//         void runTest() override {
//             assertTrue("empty at start", __FILE__, __LINE__, ring.empty(), "1");
//         }
//     };
//     int main(int argc, char** argv) {
//         RingTest test;
//         test.processDefaultArguments(argc, argv);
//         return test.go();
//     }
//
// Ownership: the object owns its strings (heap copies released with free),
// its mutex, its stream handle, its table of report files and its joined
// command line. Its mutex serialises the object's report output; it may be
// held while a process-wide counter mutex is taken, never the reverse.
//
// One class, two layers: this header and the object's assertions, tags,
// report output and string helpers belong to the reports layer
// (src/reports); its constructors, destructor, settings, flags and go()
// belong to the run driver above it (src/driver). The virtual table goes
// with the destructor and names processDefaultArguments, whose flags arm the
// driver's alarm and crash guard, so the object's life cannot sit lower.
// zktest::setCrashNote, at the end, is the driver's too.
#ifndef ZKQE_TEST_H
#define ZKQE_TEST_H

#include "zkqe_cmdline.h"
#include "zkqe_export.h"
#include "zkqe_mutex.h"
#include "zkqe_streams.h"
#include "zktest_vector.h"

#include <atomic>
#include <cstdio>

namespace zkqe {
// The library's own access to a run's report, for runs whose cases report
// from other processes.
class ReportAccess;
} // namespace zkqe

// Thrown by value by a failed assertion when the object's failure count
// reaches its limit; go() catches it and ends the run in order.
class ZKQE_API tooManyFailures {};

class ZKQE_API ZKQETest {
public:
    ZKQETest(const char* testTag = "", const char* remark = "", const char* outputDir = ".",
             const char* outputFile = "", bool appendStatus = false, int maxFailures = 128,
             const char* compilerId = "unknown", const char* machineId = "unknown",
             bool userFlag = true, double threshold = 0.0);
    // The copy gets its own strings, joined line, table and mutex, and shares
    // the source's stream buffer; its report file starts closed.
    ZKQETest(ZKQETest& other);
    ZKQETest& operator=(ZKQETest& other);
    virtual ~ZKQETest();

    // The test body, called by go().
    virtual void runTest() = 0;
    // Joins the command line and applies the flags -O -D -M -C -L -G -A.
    virtual bool processDefaultArguments(int argc, char** const argv);
    // Runs the test: opens the report, writes its header, calls runTest,
    // writes the summary and returns the number of failed assertions.
    int go();

    // --- settings -----------------------------------------------------------
    const char* testTag() const { return testTag_; }
    const char* runTag() const { return runTag_; }
    const char* functionTag() const { return functionTag_; }
    const char* stepTag() const { return stepTag_; }
    const char* assertionTag() const { return assertionTag_; }
    const char* compilerId() const { return compilerId_; }
    const char* machineId() const { return machineId_; }
    const char* outputDir() const { return outputDir_; }
    const char* outputFile() const { return outputFile_; }
    const char* remark() const { return remark_; }
    int maxFailures() const { return maxFailures_; }
    int appendStatus() const { return appendStatus_; }
    double threshold() const { return threshold_; }
    int rethrow() const { return rethrow_; }
    int lastAssertionFailed() const {
        return lastAssertionFailed_.load(std::memory_order_relaxed) ? 1 : 0;
    }
    int detectedErrors() const { return detectedErrors_; }
    // The process-wide number of assertions attempted.
    int assertionAttempts() const;

    void compilerId(const char* id);
    void machineId(const char* id);
    void outputDir(const char* dir);
    void outputFile(const char* file);
    void remark(const char* text);
    void maxFailures(int limit);
    void appendStatus(int status);
    void threshold(double tolerance);
    void setThreshold(double tolerance);
    void rethrow(int value);
    void enableAuxilaryOutput(void* output);

    // --- assertions and tags ------------------------------------------------
    // Each counts one assertion process-wide; a failure writes a failure
    // block into the report and may throw tooManyFailures. The result is
    // true when the assertion passed.
    bool assertTrue(const char* tag, const char* fileName, int lineNumber, bool condition,
                    const char* id);
    // Passes when |value| does not exceed threshold() (a NaN passes).
    bool assertSmall(const char* tag, const char* fileName, int lineNumber, double value,
                     const char* id);
    void setRunTag(const char* tag);
    void setFunctionTag(const char* tag);
    void setStepTag(const char* tag);
    void resetAssertionCount();
    void resetFailedAssertionCount();
    void resetAllAssertionCounts();
    int signalUserDefinedError(int code);

    // --- report output ------------------------------------------------------
    void print(const char* text);
    // The report as a stream; each call starts a piece with "# ".
    qe_ofstream& outStream();
    void printHeaderInfo();
    void printSummary();
    // Writes the exit lines and ends the process with exit status -1.
    [[noreturn]] void callExit();
    void changeOutputFile(const char* name);
    void createFullOutputFileName();

protected:
    void reportAssertionFailure(const char* tag, const char* fileName, int lineNumber,
                                const char* id);
    // A heap copy of `text` (null for null), released with free().
    char* allocateAndCopyString_(const char* text);

    // Fields that share their name with an accessor carry a trailing
    // underscore.
    ZKQECommandLineOptions commandLineOptions;
    // Written by passing assertions on any thread without the mutex.
    std::atomic<bool> lastAssertionFailed_;
    ZKTestVector outputFiles;
    int fileAssertionCount;
    char* testTag_;
    char* runTag_;
    char* functionTag_;
    char* stepTag_;
    char* assertionTag_;
    int detectedErrors_;
    double threshold_;
    char* compilerId_;
    char* machineId_;
    int maxFailures_;
    char* outputDir_;
    char* outputFile_;
    char* fullOutputFileName;
    FILE* primaryOutput;
    qe_ofstream outputStream;
    int appendStatus_;
    char* remark_;
    bool userFlag;
    int rethrow_;
    ZKQEMutex* mutex;
    void* auxilaryOutput;

private:
    friend class zkqe::ReportAccess;
    void processFlaggedArgs();
    // Names the run's report and status file and opens the report.
    void openRunReport_();
    // The rest of an assertion that did not pass on the fast path: counts
    // it, then clears the last-failed flag or reports the failure.
    bool finishAssertion_(const char* tag, const char* fileName, int lineNumber, bool passed,
                          const char* id);
    // Opens primaryOutput, the stream's piece of this thread handed over
    // first (prepareForFilePtrOutput) or not (openPrimaryOutput_).
    void prepareForFilePtrOutput();
    void openPrimaryOutput_();
    // Every thread's unended stream piece, written as it is: the report is
    // about to end.
    void handOverStreamPieces_();
    void closePrimaryOutput();
    // Closes the report FILE and the stream; a failed close is reported
    // through perror with `closeFailedText`.
    void closeReport_(const char* closeFailedText);
    // Closes the stream and the report at the end of a run or of the object,
    // counting a failed close for go()'s warning rather than reporting it.
    void finishReport_();
    // changeOutputFile's move of the report to `name`, its file table kept.
    void moveReport_(const char* name);
    // Releases a string field and stores a copy of `text` in it.
    void replaceString_(char*& field, const char* text);
};

namespace zktest {

// A line for the crash guard to write after its own when a fault or an
// escaped exception ends the process: what the test was in the middle of.
// Null or "" clears it; a text longer than 200 characters is cut.
ZKQE_API void setCrashNote(const char* text);

} // namespace zktest

#endif
