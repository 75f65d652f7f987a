// SPDX-License-Identifier: MIT
// Eleven cases for Bazel: nine pass, "fails 4" and "fails 9" fail.
#include <zktest_cases.h>

#include <cstdio>

#define CASE(n, ok)                                                                                \
    ZKTEST_CASE(ok ? "passes " #n : "fails " #n) {                                                 \
        std::printf("ran %d\n", n);                                                                \
        ZKQE_CHECK(ok);                                                                            \
    }

CASE(1, true)
CASE(2, true)
CASE(3, true)
CASE(4, false)
CASE(5, true)
CASE(6, true)
CASE(7, true)
CASE(8, true)
CASE(9, false)
CASE(10, true)
CASE(11, true)

int main(int argc, char** argv) {
    return zktest::runCases(argc, argv);
}
