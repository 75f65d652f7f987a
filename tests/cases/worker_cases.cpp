// SPDX-License-Identifier: MIT
// Twenty cases for runs spread over worker processes: four of them end
// their process (a null pointer read, abort, a hang, exit(0)), the others
// pass or fail checks and write report lines, so the report shows whether
// every case ran once, whole, in the run's order.
#include <zkqe_test.h>
#include <zktest_cases.h>

#include "open_descriptors.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

volatile int* nowhere = nullptr;

// Every case but the four writes two lines and fails one check in three.
void ordinaryCase(ZKQETest& test, int number) {
    test.print(("case " + std::to_string(number) + " ran").c_str());
    ZKTEST_SECTION("half") {
        ZKQE_CHECK(number % 3 != 0);
    }
    ZKQE_CHECK_EQ(number * 2, number + number);
}

// Before the first case and after the last, in the program itself: the
// workers, their pipes and their capture files leave no descriptor open.
int openBeforeTheCases = -1;

} // namespace

ZKTEST_BEFORE_ALL {
    openBeforeTheCases = openDescriptors();
}
ZKTEST_AFTER_ALL {
    ZKQE_CHECK_EQ(openDescriptors(), openBeforeTheCases);
}

ZKTEST_CASE("case 01") {
    ordinaryCase(test(), 1);
}
ZKTEST_CASE("case 02") {
    ordinaryCase(test(), 2);
}
ZKTEST_CASE("case 03") {
    ordinaryCase(test(), 3);
}
ZKTEST_CASE("case 04") {
    ordinaryCase(test(), 4);
}
ZKTEST_CASE("case 05", "[ends]") {
    ZKQE_CHECK(true);
    ZKQE_CHECK(*nowhere == 0);
}
ZKTEST_CASE("case 06") {
    ordinaryCase(test(), 6);
}
ZKTEST_CASE("case 07") {
    ordinaryCase(test(), 7);
}
ZKTEST_CASE("case 08") {
    ordinaryCase(test(), 8);
}
ZKTEST_CASE("case 09", "[ends]") {
    test().print("about to abort");
    std::abort();
}
ZKTEST_CASE("case 10") {
    ordinaryCase(test(), 10);
}
ZKTEST_CASE("case 11") {
    ordinaryCase(test(), 11);
}
ZKTEST_CASE("case 12") {
    ordinaryCase(test(), 12);
}
ZKTEST_CASE("case 13", "[ends]") {
    test().print("about to hang");
    std::this_thread::sleep_for(std::chrono::hours(1));
}
ZKTEST_CASE("case 14") {
    ordinaryCase(test(), 14);
}
ZKTEST_CASE("case 15") {
    ordinaryCase(test(), 15);
}
ZKTEST_CASE("case 16") {
    ordinaryCase(test(), 16);
}
ZKTEST_CASE("case 17", "[ends]") {
    test().print("about to exit");
    std::exit(0);
}
ZKTEST_CASE("case 18") {
    ordinaryCase(test(), 18);
}
ZKTEST_CASE("case 19") {
    ordinaryCase(test(), 19);
}
ZKTEST_CASE("case 20") {
    ordinaryCase(test(), 20);
}

// Fails at its first run in a folder and passes at the next: what a case
// that depends on timing or leftovers does.
ZKTEST_CASE("flaky once", "[.][flaky]") {
    const bool ranBefore = std::ifstream("ran-once").good();
    std::ofstream("ran-once") << "yes\n";
    ZKQE_CHECK(ranBefore);
}

// Ended by a signal that is no fault and no abort: said by its number.
ZKTEST_CASE("terminated", "[.][signal]") {
    std::raise(SIGTERM);
}
