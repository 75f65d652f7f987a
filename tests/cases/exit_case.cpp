// SPDX-License-Identifier: MIT
// Hidden cases whose code under test ends the process, or asks for a
// scratch folder.
#include <zktest_cases.h>

#include <cstdio>
#include <cstdlib>
#include <string>

ZKTEST_CASE("exits", "[.][exit]") {
    std::fflush(stdout);
    std::exit(0);
}

ZKTEST_CASE("uses scratch files", "[.][tmp]") {
    std::printf("scratch in %s\n", zktest::tempDir().c_str());
}
