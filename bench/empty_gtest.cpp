// SPDX-License-Identifier: MIT
// The smallest GoogleTest program: one empty test, GoogleTest's usual main.
// bench/compare times whole runs of it against empty_zktest.cpp.
#include <gtest/gtest.h>

TEST(Empty, DoesNothing) {}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
