// SPDX-License-Identifier: MIT
// Checks with no test object in hand: from a helper, a worker thread and,
// once no test runs, after go().
#include "scenario.h"

#include <zktest_checks.h>

#include <cstdio>
#include <thread>
#include <vector>

namespace {

// No test object in reach: the checks find the running test.
void checkSorted(const std::vector<int>& values) {
    for (std::size_t i = 1; i < values.size(); ++i)
        ZKQE_CHECK(values[i - 1] <= values[i]) << "at " << i;
}

class Anywhere : public ZKQETest {
public:
    Anywhere() : ZKQETest("anywhere", "checks anywhere", ".", "anywhere.out") {}
    void runTest() override {
        setFunctionTag("helper");
        checkSorted({1, 3, 2});
        setFunctionTag("worker thread");
        std::thread worker([] {
            ZKQE_CHECK_EQ(2 + 2, 5);
            checkSorted({9, 8});
        });
        worker.join();
    }
};

} // namespace

// A helper and a worker thread report to the running test; once go() has
// returned, a check ends the process with a message.
SCENARIO(checks_anywhere) {
    Anywhere test;
    test.processDefaultArguments(argc - 1, argv + 1);
    std::printf("go() returned %d\n", test.go());
    std::fflush(stdout);
    checkSorted({5, 4});
    std::printf("not reached\n");
    return 0;
}
