// SPDX-License-Identifier: MIT
// A second case named like one of cases_suite.cpp: linked with it, the
// program must refuse to run. The name is the first of them in byte order,
// the pair a search of the sorted names compares first, and a case between
// the two keeps them apart in registration order.
#include <zktest_cases.h>

ZKTEST_CASE("between the namesakes") {}
ZKTEST_CASE("a*b, literally") {}
