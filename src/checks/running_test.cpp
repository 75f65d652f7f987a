// SPDX-License-Identifier: MIT
// The check macros' way to the running test, found at each check: a check
// from a worker thread reaches the test its thread falls back to.
#include "internal/zktest_check_site.h"

#include "zkqe_test.h"
#include "diagnostics/diagnostics.h"
#include "driver/running_test.h"

namespace zktest {

RunningTest theRunningTest;

namespace {
ZKQETest& running(const char* file, int line) {
    ZKQETest* const test = zkqe::runningTest();
    if (test == nullptr)
        zkqe::checkWithoutTest(file, line);
    return *test;
}
} // namespace

bool RunningTest::assertTrue(const char* tag, const char* fileName, int lineNumber, bool condition,
                             const char* id) {
    return running(fileName, lineNumber).assertTrue(tag, fileName, lineNumber, condition, id);
}

bool RunningTest::assertSmall(const char* tag, const char* fileName, int lineNumber, double value,
                              const char* id) {
    return running(fileName, lineNumber).assertSmall(tag, fileName, lineNumber, value, id);
}

} // namespace zktest
