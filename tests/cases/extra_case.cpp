// SPDX-License-Identifier: MIT
// A second case named like one of cases_suite.cpp: linked with it, the
// program must refuse to run.
#include <zktest_cases.h>

ZKTEST_CASE("passes") {}
