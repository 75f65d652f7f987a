// SPDX-License-Identifier: MIT
// The library's fatal ends: every way a run stops because it cannot go on,
// each with the message it prints. They sit below every layer that writes a
// message, so any of them may stop the process without reaching upward.
//
// Every end flushes standard error before it stops the process: abort() does
// not flush stdio buffers. None of them takes a lock, so they may be called
// with any of the library's mutexes held.
#ifndef ZKQE_DIAGNOSTICS_DIAGNOSTICS_H
#define ZKQE_DIAGNOSTICS_DIAGNOSTICS_H

namespace zkqe {

// The library's programming-error checks. A failed check prints the same
// line on every build, whatever NDEBUG says, and aborts:
//   Assertion failed: <text>, file <source>, line <line>
// Text, source and line are fixed per check (see the table in
// diagnostics.cpp), so the message names the check as test authors know it
// rather than the location of the code that makes it.
enum class Precondition {
    fopenPath,
    fopenMode,
    optionName,
    optionIndexAgrees,
    argumentCount,
    optionString,
};

[[noreturn]] void preconditionFailed(Precondition check);

// Memory for the library's own strings and tables could not be had:
// "*** ERROR: Out of memory\n", then abort.
[[noreturn]] void outOfMemory();

// A usage error, between two lines of 71 asterisks, then abort:
// "*** ERROR: <message> ***".
[[noreturn]] void usageErrorBox(const char* message);

// A report that could not be opened for writing. `openErrno` is the errno of
// the failed open.
//  - reportOpenFailed: "failed to open <path>: <reason>\n", then abort.
//  - headerOpenFailed: "Open of <path> failed in printHeader: <reason>\n",
//    then exit(1) (a new file of changeOutputFile).
[[noreturn]] void reportOpenFailed(const char* path, int openErrno);
[[noreturn]] void headerOpenFailed(const char* path, int openErrno);

// A check made while no test runs, at static initialisation, say, or on a
// thread left running after go() returned:
// "zktest: the check at <file>:<line> ran while no test was running\n",
// then _Exit(1), so no finaliser takes the process's end for an orderly one.
[[noreturn]] void checkWithoutTest(const char* file, int line);

} // namespace zkqe

#define ZKQE_PRECONDITION(condition, check)                                                        \
    ((condition) ? (void)0 : ::zkqe::preconditionFailed(::zkqe::Precondition::check))

#endif
