// SPDX-License-Identifier: MIT
// A run's report written by other processes too: a worker's lines reach the
// run's report as the bytes the worker wrote, and its counts join the run's,
// so the report reads as if one process had run every case.
//
// Lock order: the test's mutex, then the counts' mutex, as every assertion
// takes them.
#ifndef ZKQE_REPORTS_REPORT_ACCESS_H
#define ZKQE_REPORTS_REPORT_ACCESS_H

#include <cstddef>

class ZKQETest;

namespace zkqe {

class ReportAccess {
public:
    // Appends `size` bytes to the report as they are, under the test's lock.
    static void appendBytes(ZKQETest& test, const char* data, std::size_t size);
    // Counts `assertions` more assertions, `failed` of them failed, in the
    // process-wide counts, the report file's and the test's.
    static void countElsewhere(ZKQETest& test, int assertions, int failed);
    // Names the function the next failures are in, writing no tag line:
    // the report already holds the one the other process wrote.
    static void nameFunction(ZKQETest& test, const char* tag);
    // The test's own count of failures reached its limit.
    static bool failureLimitReached(const ZKQETest& test);
};

// In a worker process: the status file is the parent's to finish, so this
// process's exit (a case's exit(0) included) leaves it as it is.
void leaveStatusFileToParent();

} // namespace zkqe

#endif
