// SPDX-License-Identifier: MIT
// Assertions and tags of the test object: the two assertion operations, the
// failure block they write, the run/function/step tag lines, the resets of
// the process-wide counts and the user-defined fatal error.
//
// A passing assertion takes no lock and makes no call: it counts inline into
// its thread's own slot (locks/counters.h) and writes nothing else,
// not even lastAssertionFailed when that is already false, so threads
// asserting on one object do not contend for any memory. A thread's first
// assertion and every failure go through finishAssertion_. A failure is reported entirely under the
// object's mutex, held through a guard so that tooManyFailures leaves it released; the failed
// count's mutex is taken inside it (object mutex first, never the reverse).
#include "zkqe_test.h"

#include "reports/failure_context.h"
#include "reports/failure_listener.h"
#include "locks/counters.h"
#include "reports/report_writer.h"

#include <string>

std::atomic<zkqe::FailureListener> zkqe::failureListener{nullptr};

zkqe::FailureContext*& zkqe::threadFailureContext() {
    static thread_local FailureContext* innermost = nullptr;
    return innermost;
}

namespace {

// The tag and the thread's scoped messages, outermost first, each after " | ".
std::string withContext(const char* tag, const zkqe::FailureContext* context) {
    std::string messages;
    for (; context != nullptr; context = context->outer)
        messages.insert(0, std::string(" | ") + context->text);
    return (tag != nullptr ? tag : "") + messages;
}

// Skipping the store when the flag is already clear leaves the same value
// and orders this pass before any concurrent failure, as an earlier store
// would have.
void clearLastFailed(std::atomic<bool>& lastFailed) {
    if (lastFailed.load(std::memory_order_relaxed))
        lastFailed.store(false, std::memory_order_relaxed);
}

} // namespace

// The result is this assertion's own outcome rather than a re-read of
// lastAssertionFailed, which another thread's assertion may have changed in
// between.
bool ZKQETest::assertTrue(const char* tag, const char* fileName, int lineNumber, bool condition,
                          const char* id) {
    if (condition && zkqe::CounterAccess::countAssertionFast()) {
        clearLastFailed(lastAssertionFailed_);
        return true;
    }
    return finishAssertion_(tag, fileName, lineNumber, condition, id);
}

bool ZKQETest::assertSmall(const char* tag, const char* fileName, int lineNumber, double value,
                           const char* id) {
    // Strict comparisons: a value equal to the threshold passes, and so does
    // a NaN, which compares false both ways.
    const bool passed = !(value > threshold_ || -value > threshold_);
    if (passed && zkqe::CounterAccess::countAssertionFast()) {
        clearLastFailed(lastAssertionFailed_);
        return true;
    }
    return finishAssertion_(tag, fileName, lineNumber, passed, id);
}

// A failure, or a pass the fast path could not count: counted here, so the
// passing path keeps nothing across its count and needs no stack frame.
bool ZKQETest::finishAssertion_(const char* tag, const char* fileName, int lineNumber, bool passed,
                                const char* id) {
    zkqe::countAssertionSlowly();
    if (passed) {
        clearLastFailed(lastAssertionFailed_);
        return true;
    }
    reportAssertionFailure(tag, fileName, lineNumber, id);
    return false;
}

void ZKQETest::reportAssertionFailure(const char* tag, const char* fileName, int lineNumber,
                                      const char* id) {
    std::string decorated;
    if (const zkqe::FailureContext* context = zkqe::threadFailureContext()) {
        decorated = withContext(tag, context);
        tag = decorated.c_str();
    }
    ZKQEMutexGuard guard(mutex);
    prepareForFilePtrOutput();

    zkqe::writeFailureBlock(primaryOutput, id, functionTag_, tag, fileName, lineNumber);
    if (const zkqe::FailureListener listener = zkqe::failureListener.load())
        listener({tag, fileName, lineNumber, functionTag_, stepTag_});

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
