// SPDX-License-Identifier: MIT
// ZKQETest itself: construction with its defaults, copying, destruction, the
// accessors and setters. The run (go(), the flags) is in run.cpp; the report
// writers, assertions and string helpers are in the reports layer.
//
// Ownership: every string field is null or a malloc'ed copy owned by the
// object; the mutex is owned; the stream's buffer is shared with copies of
// the object through the stream's own reference count. Nothing here takes a
// lock.
#include "zkqe_test.h"

#include "zkqe_status.h"
#include "diagnostics/diagnostics.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const char kDefaultOutputFile[] = "zktest.out";

bool isEmpty(const char* text) {
    return text == nullptr || text[0] == '\0';
}

} // namespace

ZKQETest::ZKQETest(const char* testTag, const char* remark, const char* outputDir,
                   const char* outputFile, bool appendStatus, int maxFailures,
                   const char* compilerId, const char* machineId, bool userFlag, double threshold)
    : lastAssertionFailed_(false), fileAssertionCount(0), testTag_(nullptr), runTag_(nullptr),
      functionTag_(nullptr), stepTag_(nullptr), assertionTag_(nullptr), detectedErrors_(0),
      threshold_(0.0), compilerId_(nullptr), machineId_(nullptr), maxFailures_(0),
      outputDir_(nullptr), outputFile_(nullptr), fullOutputFileName(nullptr),
      primaryOutput(nullptr), appendStatus_(0), remark_(nullptr), userFlag(false),
      // Never given a value by the arguments; zero and null until set.
      rethrow_(0), mutex(nullptr), auxilaryOutput(nullptr) {
    testTag_ = allocateAndCopyString_(testTag);

    ZKQESingletonAssertionCounter::getZKQESingletonAssertionCounter();
    ZKQESingletonAssertionFailedCounter::getZKQESingletonAssertionFailedCounter();

    threshold_ = threshold;
    this->userFlag = userFlag;
    fileAssertionCount = 0;
    compilerId_ = allocateAndCopyString_(compilerId);
    machineId_ = allocateAndCopyString_(machineId);
    maxFailures_ = maxFailures;

    mutex = new (std::nothrow) ZKQEMutex();
    if (mutex == nullptr)
        zkqe::outOfMemory();

    outputDir_ = isEmpty(outputDir) ? nullptr : allocateAndCopyString_(outputDir);

    if (!isEmpty(outputFile)) {
        outputFile_ = allocateAndCopyString_(outputFile);
        ZKQESingletonFileObject::getZKQESingletonFileObject(outputDir_, outputFile_);
    } else {
        outputFile_ = allocateAndCopyString_(kDefaultOutputFile);
    }

    appendStatus_ = appendStatus ? 1 : 0;
    remark_ = allocateAndCopyString_(remark);
}

// The copy's report file starts closed: a FILE can be closed only once, so
// it reopens the report in append mode when it first writes.
ZKQETest::ZKQETest(ZKQETest& other)
    : commandLineOptions(other.commandLineOptions),
      lastAssertionFailed_(other.lastAssertionFailed_.load(std::memory_order_relaxed)),
      outputFiles(other.outputFiles), fileAssertionCount(other.fileAssertionCount),
      testTag_(allocateAndCopyString_(other.testTag_)),
      runTag_(allocateAndCopyString_(other.runTag_)),
      functionTag_(allocateAndCopyString_(other.functionTag_)),
      stepTag_(allocateAndCopyString_(other.stepTag_)),
      assertionTag_(allocateAndCopyString_(other.assertionTag_)),
      detectedErrors_(other.detectedErrors_), threshold_(other.threshold_),
      compilerId_(allocateAndCopyString_(other.compilerId_)),
      machineId_(allocateAndCopyString_(other.machineId_)), maxFailures_(other.maxFailures_),
      outputDir_(allocateAndCopyString_(other.outputDir_)),
      outputFile_(allocateAndCopyString_(other.outputFile_)),
      fullOutputFileName(allocateAndCopyString_(other.fullOutputFileName)), primaryOutput(nullptr),
      outputStream(other.outputStream), appendStatus_(other.appendStatus_),
      remark_(allocateAndCopyString_(other.remark_)), userFlag(other.userFlag),
      rethrow_(other.rethrow_), mutex(new (std::nothrow) ZKQEMutex()),
      auxilaryOutput(other.auxilaryOutput) {
    if (mutex == nullptr)
        zkqe::outOfMemory();
}

ZKQETest& ZKQETest::operator=(ZKQETest& other) {
    if (this == &other)
        return *this;
    // The report this object had open is finished before it takes over the
    // other's settings; like a copy, it then starts with its report closed.
    // The stream may borrow that FILE: it lets go first.
    finishReport_();

    commandLineOptions = other.commandLineOptions;
    lastAssertionFailed_.store(other.lastAssertionFailed_.load(std::memory_order_relaxed),
                               std::memory_order_relaxed);
    outputFiles = other.outputFiles;
    fileAssertionCount = other.fileAssertionCount;
    replaceString_(testTag_, other.testTag_);
    replaceString_(runTag_, other.runTag_);
    replaceString_(functionTag_, other.functionTag_);
    replaceString_(stepTag_, other.stepTag_);
    replaceString_(assertionTag_, other.assertionTag_);
    detectedErrors_ = other.detectedErrors_;
    threshold_ = other.threshold_;
    replaceString_(compilerId_, other.compilerId_);
    replaceString_(machineId_, other.machineId_);
    maxFailures_ = other.maxFailures_;
    replaceString_(outputDir_, other.outputDir_);
    replaceString_(outputFile_, other.outputFile_);
    replaceString_(fullOutputFileName, other.fullOutputFileName);
    outputStream = other.outputStream;
    appendStatus_ = other.appendStatus_;
    replaceString_(remark_, other.remark_);
    userFlag = other.userFlag;
    rethrow_ = other.rethrow_;
    // The mutex stays this object's own.
    auxilaryOutput = other.auxilaryOutput;
    return *this;
}

ZKQETest::~ZKQETest() {
    // A report a print left open after the run is closed with its object.
    finishReport_();
    std::free(testTag_);
    std::free(runTag_);
    std::free(functionTag_);
    std::free(stepTag_);
    std::free(assertionTag_);
    std::free(compilerId_);
    std::free(machineId_);
    std::free(outputDir_);
    std::free(outputFile_);
    std::free(remark_);
    std::free(fullOutputFileName);
    delete mutex;
    // outputStream, outputFiles and commandLineOptions release their own
    // storage as members.
}

int ZKQETest::assertionAttempts() const {
    return ZKQESingletonAssertionCounter::getCount();
}

void ZKQETest::compilerId(const char* id) {
    replaceString_(compilerId_, id);
}

void ZKQETest::machineId(const char* id) {
    replaceString_(machineId_, id);
}

void ZKQETest::outputDir(const char* dir) {
    replaceString_(outputDir_, dir);
}

void ZKQETest::outputFile(const char* file) {
    replaceString_(outputFile_, file);
}

void ZKQETest::remark(const char* text) {
    replaceString_(remark_, text);
}

void ZKQETest::maxFailures(int limit) {
    maxFailures_ = limit;
}

void ZKQETest::appendStatus(int status) {
    appendStatus_ = status;
}

void ZKQETest::threshold(double tolerance) {
    threshold_ = tolerance;
}

void ZKQETest::setThreshold(double tolerance) {
    threshold(tolerance);
}

void ZKQETest::rethrow(int value) {
    rethrow_ = value;
}

void ZKQETest::enableAuxilaryOutput(void* output) {
    auxilaryOutput = output;
}
