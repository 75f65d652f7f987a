// SPDX-License-Identifier: MIT
// A second case named like one of cases_suite.cpp: linked with it, the
// program must refuse to run. By default the name is the first of them in
// byte order, the pair a search of the sorted names compares first; built
// with the last name, the pair ends the sorted names, after one that has no
// namesake. A case between the two keeps them apart in registration
// order.
#include <zktest_cases.h>

#ifndef ZKTEST_NAMESAKE
#define ZKTEST_NAMESAKE "a*b, literally"
#endif

ZKTEST_CASE("between the namesakes") {}
ZKTEST_CASE(ZKTEST_NAMESAKE) {}
