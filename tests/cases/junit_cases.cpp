// SPDX-License-Identifier: MIT
// A program of cases with one of every way a case ends, for the JUnit file:
// built alone, so that its file of cases is named like the program, and on
// the cases outside suites the runner's JUnit and zkreport's (which knows
// runs, not files or suites) agree.
#include <zkqe_test.h>
#include <zktest_cases.h>

#include <stdexcept>

// Hidden and first: one before every case that runs is told as well.
ZKTEST_CASE("hidden", "[.]") {}

ZKTEST_CASE("passes") {
    test().print("a line of its own in the report");
    ZKQE_CHECK(1 + 1 == 2);
}

ZKTEST_CASE("requires", "[fatal]") {
    ZKQE_REQUIRE(2 + 2 == 5);
    ZKQE_CHECK(false); // never reached
}

ZKTEST_CASE("checks in a section") {
    ZKTEST_SECTION("outer") {
        ZKTEST_SECTION("inner") {
            ZKQE_CHECK(1 > 2);
        }
    }
}

ZKTEST_CASE("throws") {
    throw std::runtime_error("<boom> & 'it'");
}

ZKTEST_CASE("skips", "[skip]") {
    ZKQE_SKIP("not today");
}

ZKTEST_SUITE("ring") {
    ZKTEST_CASE("starts empty") {}
}

// Hidden and last: one after every case that runs is told too.
ZKTEST_CASE("hidden at the end", "[.]") {}
