// SPDX-License-Identifier: MIT
// A second case named like one of cases_suite.cpp: linked with it, the
// program must refuse to run. The name is the first of them in byte order,
// the first a search of the sorted names compares.
#include <zktest_cases.h>

ZKTEST_CASE("a*b, literally") {}
