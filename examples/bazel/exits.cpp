// SPDX-License-Identifier: MIT
// Code under test that calls exit(0) in the middle of the run.
#include <zktest_cases.h>

#include <cstdlib>

ZKTEST_CASE("passes") {
    ZKQE_CHECK(true);
}

ZKTEST_CASE("leaves") {
    std::exit(0);
}

ZKTEST_CASE("never runs") {
    ZKQE_CHECK(true);
}

int main(int argc, char** argv) {
    return zktest::runCases(argc, argv);
}
