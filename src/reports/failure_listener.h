// SPDX-License-Identifier: MIT
// One process-wide listener told of every failed assertion after its block
// is in the report: the case runner's console. It is called under the
// failing object's mutex, so its output keeps the report's order.
#ifndef ZKQE_REPORTS_FAILURE_LISTENER_H
#define ZKQE_REPORTS_FAILURE_LISTENER_H

#include <atomic>

namespace zkqe {

// What the report's failure block holds, read under the failing object's
// mutex: the test's function tag (a case's name) and step tag (its section
// path) as they were when the check failed.
struct FailureNotice {
    const char* tag;
    const char* fileName;
    int lineNumber;
    const char* functionTag;
    const char* stepTag;
};

using FailureListener = void (*)(const FailureNotice& notice);
// Null means no listener: a plain test program writes nothing more.
extern std::atomic<FailureListener> failureListener;

} // namespace zkqe

#endif
