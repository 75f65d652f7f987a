// SPDX-License-Identifier: MIT
// One process-wide listener told of every failed assertion after its block
// is in the report: the case runner's console. It is called under the
// failing object's mutex, so its output keeps the report's order.
#ifndef ZKQE_REPORTS_FAILURE_LISTENER_H
#define ZKQE_REPORTS_FAILURE_LISTENER_H

#include <atomic>

namespace zkqe {

using FailureListener = void (*)(const char* tag, const char* fileName, int lineNumber);
// Null means no listener: a plain test program writes nothing more.
extern std::atomic<FailureListener> failureListener;

} // namespace zkqe

#endif
