// SPDX-License-Identifier: MIT
// The running test of each thread and of the process.
#include "driver/running_test.h"

#include <atomic>

namespace zkqe {

namespace {

thread_local ZKQETest* threadTest = nullptr;
std::atomic<ZKQETest*> processTest{nullptr};

} // namespace

ZKQETest* runningTest() {
    ZKQETest* const mine = threadTest;
    return mine != nullptr ? mine : processTest.load(std::memory_order_acquire);
}

RunningTestScope::RunningTestScope(ZKQETest& test) : test_(test), threadOuter_(threadTest) {
    threadTest = &test;
    ZKQETest* none = nullptr;
    processTest.compare_exchange_strong(none, &test, std::memory_order_acq_rel);
}

RunningTestScope::~RunningTestScope() {
    threadTest = threadOuter_;
    ZKQETest* mine = &test_;
    processTest.compare_exchange_strong(mine, nullptr, std::memory_order_acq_rel);
}

} // namespace zkqe
