// SPDX-License-Identifier: MIT
// A program of cases for the runner's scenarios: what each run prints on
// standard output shows which code ran, in which order, and how often.
#include <zktest_cases.h>

#include <cstdio>
#include <stdexcept>

namespace {

struct Counter {
    Counter() { std::puts("fixture built"); }
    ~Counter() { std::puts("fixture destroyed"); }
    int value = 41;
};

} // namespace

ZKTEST_CASE("passes", "[fast]") {
    ZKQE_CHECK(2 + 2 == 4);
}

ZKTEST_CASE("sections", "[tree]") {
    std::puts("set-up");
    ZKTEST_SECTION("outer") {
        std::puts("outer");
        ZKTEST_SECTION("first leaf") {
            ZKQE_CHECK(false);
        }
        ZKTEST_SECTION("throwing leaf") {
            throw std::runtime_error("lost\tin a\nleaf");
        }
        ZKTEST_SECTION("last leaf") {
            std::puts("last leaf");
        }
    }
    ZKTEST_SECTION("second") {
        std::puts("second");
    }
}

ZKTEST_CASE_FIXTURE(Counter, "fixture", "[fast][fixture]") {
    ++value;
    ZKQE_CHECK(value == 42);
}

ZKTEST_CASE("throws a non-exception") {
    throw 7;
}

ZKTEST_CASE("hidden", "[.][fast]") {
    std::puts("hidden ran");
}

ZKTEST_CASE("a*b, literally") {
    std::puts("a*b ran");
}
