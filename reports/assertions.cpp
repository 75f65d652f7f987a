// SPDX-License-Identifier: MIT
// Assertions and tags of the test object: the two assertion operations, the
// failure block they write, the run/function/step tag lines, the resets of
// the process-wide counts and the user-defined fatal error.
//
// A passing assertion takes no lock and makes no call: it counts inline into
// its thread's own slot (reports/locks/counters.h) and writes nothing else,
// not even lastAssertionFailed when that is already false, so threads
// asserting on one object do not contend for any memory. A thread's first
// assertion and every failure go through finishAssertion_. A failure is reported entirely under the
// object's mutex, held through a guard so that tooManyFailures leaves it released; the failed
// count's mutex is taken inside it (object mutex first, never the reverse).
#include "zkqe_test.h"

#include "reports/locks/counters.h"
#include "reports/report_writer.h"

namespace {

// Skipping the store when the flag is already clear leaves the same value
// and orders this pass before any concurrent failure, as an earlier store
// would have.
void clearLastFailed(std::atomic<bool>& lastFailed) {
    if (lastFailed.load(std::memory_order_relaxed))
        lastFailed.store(false, std::memory_order_relaxed);
}

// The outcome handed to finishAssertion_, in one argument so that the call
// is a tail call on the passing assertion's path.
constexpr int kPassed = 1;
constexpr int kCounted = 2;

int outcomeOf(bool passed, bool counted) {
    return (passed ? kPassed : 0) | (counted ? kCounted : 0);
}

} // namespace

// The result is this assertion's own outcome rather than a re-read of
// lastAssertionFailed, which another thread's assertion may have changed in
// between.
bool ZKQETest::assertTrue(const char* tag, const char* fileName, int lineNumber, bool condition,
                          const char* id) {
    const bool counted = zkqe::CounterAccess::countAssertionFast();
    if (counted && condition) {
        clearLastFailed(lastAssertionFailed_);
        return true;
    }
    return finishAssertion_(tag, fileName, lineNumber, outcomeOf(condition, counted), id);
}

bool ZKQETest::assertSmall(const char* tag, const char* fileName, int lineNumber, double value,
                           const char* id) {
    // Strict comparisons: a value equal to the threshold passes, and so does
    // a NaN, which compares false both ways.
    const bool passed = !(value > threshold_ || -value > threshold_);
    const bool counted = zkqe::CounterAccess::countAssertionFast();
    if (counted && passed) {
        clearLastFailed(lastAssertionFailed_);
        return true;
    }
    return finishAssertion_(tag, fileName, lineNumber, outcomeOf(passed, counted), id);
}

bool ZKQETest::finishAssertion_(const char* tag, const char* fileName, int lineNumber, int outcome,
                                const char* id) {
    if ((outcome & kCounted) == 0)
        zkqe::countAssertionSlowly();
    if ((outcome & kPassed) != 0) {
        clearLastFailed(lastAssertionFailed_);
        return true;
    }
    reportAssertionFailure(tag, fileName, lineNumber, id);
    return false;
}

void ZKQETest::reportAssertionFailure(const char* tag, const char* fileName, int lineNumber,
                                      const char* id) {
    ZKQEMutexGuard guard(mutex);
    prepareForFilePtrOutput();

    zkqe::writeFailureBlock(primaryOutput, id, functionTag_, tag, fileName, lineNumber);

    ++detectedErrors_;
    lastAssertionFailed_.store(true, std::memory_order_relaxed);
    ZKQESingletonAssertionFailedCounter::incrCount();
    if (detectedErrors_ == maxFailures_)
        throw tooManyFailures();
}

void ZKQETest::setRunTag(const char* tag) {
    ZKQEMutexGuard guard(mutex);
    replaceString_(runTag_, tag);
    prepareForFilePtrOutput();
    zkqe::writeTagLine(primaryOutput, zkqe::TagKind::run, runTag_);
}

void ZKQETest::setFunctionTag(const char* tag) {
    ZKQEMutexGuard guard(mutex);
    replaceString_(functionTag_, tag);
    prepareForFilePtrOutput();
    zkqe::writeTagLine(primaryOutput, zkqe::TagKind::function, functionTag_);
}

void ZKQETest::setStepTag(const char* tag) {
    ZKQEMutexGuard guard(mutex);
    replaceString_(stepTag_, tag);
    prepareForFilePtrOutput();
    zkqe::writeTagLine(primaryOutput, zkqe::TagKind::step, stepTag_);
}

void ZKQETest::resetAssertionCount() {
    ZKQESingletonAssertionCounter::clearCount();
}

void ZKQETest::resetFailedAssertionCount() {
    ZKQESingletonAssertionFailedCounter::clearCount();
}

void ZKQETest::resetAllAssertionCounts() {
    resetAssertionCount();
    resetFailedAssertionCount();
}

int ZKQETest::signalUserDefinedError(int code) {
    return ZKQESingletonAssertionFailedCounter::signalFatalError(code);
}
