// SPDX-License-Identifier: MIT
// The assertion loop with GoogleTest: N passing EXPECT_TRUE inside one TEST.
#include "assertion_loop.h"

#include <gtest/gtest.h>

namespace {

long loopCount = assertion_loop::kDefaultCount;

TEST(AssertionLoop, PassingExpectTrue) {
    assertion_loop::timeLoop("gtest", loopCount, [](long count) {
        for (long i = 0; i < count; ++i)
            EXPECT_TRUE(assertion_loop::opaqueTrue());
    });
}

} // namespace

int main(int argc, char** argv) {
    loopCount = assertion_loop::takeCount(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
