// SPDX-License-Identifier: MIT
// Cases that share a global, as the suites --isolate is for do: each in a
// fresh process finds it untouched, while cases that share a process find
// the marks of those before them.
#include <zktest_cases.h>

namespace {

int casesRunInThisProcess = 0;

} // namespace

ZKTEST_CASE("first") {
    ZKQE_CHECK_EQ(++casesRunInThisProcess, 1);
}

ZKTEST_CASE("second") {
    ZKQE_CHECK_EQ(++casesRunInThisProcess, 1);
}

ZKTEST_CASE("third") {
    ZKQE_CHECK_EQ(++casesRunInThisProcess, 1);
}
