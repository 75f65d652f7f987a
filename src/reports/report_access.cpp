// SPDX-License-Identifier: MIT
// The report written by other processes too (see report_access.h).
#include "reports/report_access.h"

#include "zkqe_test.h"
#include "locks/counters.h"
#include "platform/platform.h"

namespace zkqe {

void ReportAccess::appendBytes(ZKQETest& test, const char* data, std::size_t size) {
    if (size == 0)
        return;
    ZKQEMutexGuard guard(test.mutex);
    test.prepareForFilePtrOutput();
    if (test.primaryOutput != nullptr)
        platform::writeWhole(test.primaryOutput, data, size);
}

void ReportAccess::countElsewhere(ZKQETest& test, int assertions, int failed) {
    ZKQEMutexGuard guard(test.mutex);
    for (int i = 0; i < assertions; ++i)
        CounterAccess::countAssertion();
    for (int i = 0; i < failed; ++i)
        ZKQESingletonAssertionFailedCounter::incrCount();
    test.detectedErrors_ += failed;
}

void ReportAccess::nameFunction(ZKQETest& test, const char* tag) {
    ZKQEMutexGuard guard(test.mutex);
    test.replaceString_(test.functionTag_, tag);
}

bool ReportAccess::failureLimitReached(const ZKQETest& test) {
    return test.maxFailures_ > 0 && test.detectedErrors_ >= test.maxFailures_;
}

} // namespace zkqe
