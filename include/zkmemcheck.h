// SPDX-License-Identifier: MIT
// The checked allocator's controls, for programs linked with zktest::memcheck:
// allocation-failure injection, leak marks and a loop that fails each
// allocation of a piece of code in turn.
//
// Allocation numbers count every allocation request of the process from 1;
// "the n-th allocation from now" is number allocationCount() + n.
#ifndef ZKMEMCHECK_H
#define ZKMEMCHECK_H

#include "zkqe_test.h"

#include <cstdio>
#include <new>

class ZKMemCheck {
public:
    // The n-th allocation from now (1: the next) fails: std::bad_alloc for the
    // throwing forms, null for nothrow. afterAllocation chooses the failure
    // kind reported to the handler: the block is then obtained and given
    // back before the failure. n <= 0 cancels a pending failure.
    static void failAllocation(long n, bool afterAllocation = false);
    // Allocation requests made so far.
    static long allocationCount();
    // A leak mark: the blocks allocated after it and still live are its leaks.
    static long mark() { return allocationCount(); }
    // Live blocks allocated after mark; their bytes into *bytes when given.
    static long leaksSince(long mark, long* bytes = nullptr);

    // Runs code once per allocation it makes, failing the 1st, then the 2nd,
    // ... until a run completes without meeting its failure. A run that
    // leaks or lets an exception other than std::bad_alloc escape is an
    // assertion failure of test. Returns the number of runs.
    // The failures name the caller's file and line.
    template <class Code>
    static long failEachAllocation(ZKQETest& test, Code code, const char* file = __builtin_FILE(),
                                   int line = __builtin_LINE());
};

template <class Code>
long ZKMemCheck::failEachAllocation(ZKQETest& test, Code code, const char* file, int line) {
    for (long n = 1;; ++n) {
        const long start = mark();
        char text[96];
        // A run that crashes is named by the crash guard's note and the step tag.
        std::snprintf(text, sizeof text, "while failing allocation %ld", n);
        zktest::setCrashNote(text);
        test.setStepTag(text + 6);
        failAllocation(n);
        bool foreign = false;
        try {
            code();
        } catch (const std::bad_alloc&) {
        } catch (...) {
            foreign = true;
        }
        // A run that made fewer than n allocations completed: the last run.
        const bool reached = allocationCount() - start >= n;
        failAllocation(0);
        zktest::setCrashNote(nullptr);
        std::snprintf(text, sizeof text, "no leak when allocation %ld fails", n);
        test.assertTrue(text, file, line, leaksSince(start) == 0, nullptr);
        std::snprintf(text, sizeof text, "only bad_alloc escapes when allocation %ld fails", n);
        test.assertTrue(text, file, line, !foreign, nullptr);
        if (!reached)
            return n;
    }
}

#endif
