// SPDX-License-Identifier: MIT
// The test that checks without a test object in hand report to. go() makes
// its test the running one of its thread while runTest runs; a thread with
// none (a worker the body started: a thread cannot inherit from the one that
// started it) falls back to the process's, the first test whose go() is
// still running, so the fallback never outlives its test.
#ifndef ZKQE_DRIVER_RUNNING_TEST_H
#define ZKQE_DRIVER_RUNNING_TEST_H

class ZKQETest;

namespace zkqe {

// Null when no test runs.
ZKQETest* runningTest();

class RunningTestScope {
public:
    explicit RunningTestScope(ZKQETest& test);
    ~RunningTestScope();
    RunningTestScope(const RunningTestScope&) = delete;
    RunningTestScope& operator=(const RunningTestScope&) = delete;

private:
    ZKQETest& test_;
    ZKQETest* threadOuter_;
};

} // namespace zkqe

#endif
