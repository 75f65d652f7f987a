// SPDX-License-Identifier: MIT
// Suites: one name in two suites, a suite inside another, cases outside.
#include <zktest_cases.h>

#include <cstdio>
#include <string>

ZKTEST_SUITE("ring") {
    ZKTEST_CASE("starts empty", "[fast]") {}
    ZKTEST_SUITE("full") {
        ZKTEST_CASE("refuses a push") {
            ZKQE_CHECK_EQ(1 + 1, 3);
        }
    }
}

ZKTEST_SUITE("queue") {
    ZKTEST_CASE("starts empty") {}
}

ZKTEST_CASE("outside every suite") {}

// Hooks: the program's around every selected case, a suite's around its own;
// a failed before-all leaves its suite's cases failed, unrun.
ZKTEST_BEFORE_ALL {
    std::puts("program set up");
}
ZKTEST_AFTER_ALL {
    std::puts("program torn down");
}
ZKTEST_SUITE("ring") {
    ZKTEST_BEFORE_ALL {
        std::puts("ring set up");
    }
    ZKTEST_AFTER_ALL {
        std::puts("ring torn down");
    }
}
ZKTEST_SUITE("queue") {
    ZKTEST_BEFORE_ALL {
        ZKQE_REQUIRE_EQ(std::string("queue"), "no queue");
    }
    ZKTEST_AFTER_ALL {
        std::puts("queue torn down");
    }
}
