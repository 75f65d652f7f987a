// SPDX-License-Identifier: MIT
// A program of cases for the runner's outputs (console, TAP, GitHub
// Actions): one passes, one stops at a fatal check inside a section, one
// skips; the hidden rows of a table fail in one shared helper, as a
// table-driven test does, so only the case names tell their failures apart;
// a hidden one hangs.
#include <zktest_cases.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

void checkRow(ZKQETest&) {
    ZKQE_CHECK_EQ(2 + 2, 5);
}

const bool rowsRegistered = [] {
    for (int row = 1; row <= 12; ++row)
        zktest::registerCase(checkRow, __FILE__, __LINE__, ("row " + std::to_string(row)).c_str(),
                             "[.][rows]");
    return true;
}();

} // namespace

ZKTEST_CASE("passes") {
    ZKQE_CHECK(1 + 1 == 2);
}

ZKTEST_CASE("reads the settings, 100%", "[io]") {
    ZKTEST_SECTION("from a file") {
        ZKQE_REQUIRE(std::fopen("no such file, # here", "r") != nullptr);
    }
}

ZKTEST_CASE("needs the network") {
    ZKQE_SKIP("no network # here\nnor a proxy"); // TAP keeps a directive on its line
}

ZKTEST_CASE("hangs", "[.][hang]") {
    std::this_thread::sleep_for(std::chrono::minutes(5));
}
