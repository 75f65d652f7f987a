// SPDX-License-Identifier: MIT
// The check macros of zktest.h in a plain ZKQETest program, passing and
// failing up to the failure limit: the report and what each check yields.
#include "scenario.h"

#include <cstdio>
#include <vector>

namespace {

bool inOrder(ZKQETest& test, const std::vector<int>& values) {
    for (std::size_t i = 1; i < values.size(); ++i)
        if (!ZKQE_CHECK_ON(test, values[i - 1] <= values[i]))
            return false;
    return true;
}

class Plain : public ZKQETest {
public:
    Plain() : ZKQETest("plain", "check macros", ".", "plain.out", false, 8) { setThreshold(0.1); }
    void runTest() override {
        setFunctionTag("macros");
        const bool passed = ZKQE_CHECK(1 + 1 == 2);
        const bool failed = ZKQE_CHECK(2 + 2 == 5);
        std::printf("yields %d %d\n", passed, failed);
        ZKQE_CHECK(std::vector<int>{1, 2}.size() == 3);
        ZKQE_CHECK_ID(sizeof(char) == 2, "id-7");
        ZKQE_CHECK_SMALL(0.05);
        ZKQE_CHECK_SMALL(0.5);
        ZKQE_CHECK_NEAR(1.0, 1.25);
        std::printf("in order: %d %d\n", inOrder(*this, {1, 2, 3}), inOrder(*this, {2, 1}));
        for (int i = 0; i < 3; ++i)
            if (!ZKQE_CHECK(i < 0))
                std::printf("failure %d written\n", detectedErrors());
        std::printf("not reached\n");
    }
};

} // namespace

SCENARIO(plain_program) {
    Plain test;
    test.processDefaultArguments(argc - 1, argv + 1);
    return test.go();
}
