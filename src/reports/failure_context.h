// SPDX-License-Identifier: MIT
// Scoped messages (ZKQE_INFO) of the calling thread, innermost first: every
// failure the thread reports while one lives carries its text after the
// assertion's own. Each frame is pushed and popped by the one scope that
// owns it, on its own thread, so the list needs no lock.
#ifndef ZKQE_REPORTS_FAILURE_CONTEXT_H
#define ZKQE_REPORTS_FAILURE_CONTEXT_H

namespace zkqe {

struct FailureContext {
    const char* text; // escaped: no line break can reach the report
    FailureContext* outer;
};

FailureContext*& threadFailureContext();

} // namespace zkqe

#endif
