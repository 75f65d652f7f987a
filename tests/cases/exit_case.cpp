// SPDX-License-Identifier: MIT
// Hidden cases whose code under test ends the process or never ends.
#include <zktest_cases.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

ZKTEST_CASE("exits", "[.][exit]") {
    std::fflush(stdout);
    std::exit(0);
}

ZKTEST_CASE("hangs", "[.][hang]") {
    std::this_thread::sleep_for(std::chrono::minutes(5));
}

ZKTEST_CASE("uses scratch files", "[.][tmp]") {
    std::printf("scratch in %s\n", zktest::tempDir().c_str());
}
