// SPDX-License-Identifier: MIT
// Suites: one name in two suites, a suite inside another, cases outside.
#include <zktest_cases.h>

ZKTEST_SUITE("ring") {
    ZKTEST_CASE("starts empty", "[fast]") {}
    ZKTEST_SUITE("full") {
        ZKTEST_CASE("refuses a push") {
            ZKQE_CHECK_EQ(1 + 1, 3);
        }
    }
}

ZKTEST_SUITE("queue") {
    ZKTEST_CASE("starts empty") {}
}

ZKTEST_CASE("outside every suite") {}
