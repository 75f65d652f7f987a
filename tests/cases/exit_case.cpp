// SPDX-License-Identifier: MIT
// Code under test that ends the process in the middle of a case.
#include <zktest_cases.h>

#include <cstdio>
#include <cstdlib>

ZKTEST_CASE("exits", "[.][exit]") {
    std::fflush(stdout);
    std::exit(0);
}
