// SPDX-License-Identifier: MIT
// The entry point of every unit program.
#include "scenario.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    scenario::limitFileSize();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
