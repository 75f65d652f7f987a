// SPDX-License-Identifier: MIT
// A program of cases with its own main(), which prints a banner first, as
// CTest sees it through zktest_discover_tests: one case reads a data file
// from its working directory, one leaves without a summary yet with exit
// status 0, one hangs until its alarm ends it, one is hidden.
#include <zktest_cases.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

ZKTEST_CASE("reads its data") {
    std::ifstream data("data.txt");
    ZKQE_CHECK(data.good());
}

ZKTEST_CASE("quits quietly") {
    std::fflush(nullptr);
    std::_Exit(0);
}

ZKTEST_CASE("hangs") {
    std::this_thread::sleep_for(std::chrono::minutes(5));
}

ZKTEST_CASE("left for later", "[.]") {}

int main(int argc, char** argv) {
    std::puts("consumer cases 1.0");
    return zktest::runCases(argc, argv);
}
