// SPDX-License-Identifier: MIT
// Not an interface of its own: zktest::RequireAbort is named by
// zktest_checks.h, whose fatal checks throw it, and caught by the run driver
// and the case runner. Include zktest_checks.h (or zktest_cases.h); this
// header may change or go without notice.
#ifndef ZKTEST_INTERNAL_REQUIRE_ABORT_H
#define ZKTEST_INTERNAL_REQUIRE_ABORT_H

namespace zktest {
// Thrown by a failed ZKQE_REQUIRE form (zktest_checks.h) after its failure is
// reported; no std::exception, so user code's catch of those lets it pass.
// go() ends the test body on it in order, a case runner the case.
struct RequireAbort {};
} // namespace zktest

#endif
