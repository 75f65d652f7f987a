// SPDX-License-Identifier: MIT
// A suite in Catch2's macros, built twice: against Catch2 itself and against
// zktest's Catch2-speaking header. Both runs must fail the same checks.
#ifdef ZKTEST_WITH_CATCH2
#define CATCH_CONFIG_MAIN
#include <catch2/catch.hpp>
#else
#include <zktest_catch2.h>
#endif

#include <stdexcept>
#include <string>
#include <vector>

namespace {
int twice(int n) {
    return n * 2;
}
struct Ring {
    std::vector<int> slots;
};
} // namespace

TEST_CASE("values", "[values]") {
    CHECK(twice(2) == 4);
    CHECK(twice(2) == 5);
    CHECK_FALSE(twice(0) == 0);
    CHECK(std::string("ab") < std::string("aa"));
    REQUIRE(twice(1) != 2);
    CHECK(false); // not reached: REQUIRE ended the case
}

TEST_CASE("sections", "[sections]") {
    int n = 1;
    SECTION("first", "with a description") {
        n += 1;
        CHECK(n == 3);
    }
    SECTION("second") {
        SECTION("inner a") {
            CHECK(n == 1);
        }
        SECTION("inner b") {
            REQUIRE(n == 0);
        }
    }
}

TEST_CASE("exceptions") {
    std::vector<int> numbers{1, 2};
    CHECK_THROWS(numbers.at(5));
    CHECK_THROWS(numbers.at(0));
    CHECK_THROWS_AS(numbers.at(5), std::out_of_range);
    CHECK_THROWS_AS(throw std::logic_error("x"), std::runtime_error);
    CHECK_NOTHROW(numbers.at(1));
    CHECK(numbers.at(7) == 1); // the check's own failure, at its line
    REQUIRE_THROWS_AS(numbers.at(1), std::out_of_range);
}

TEST_CASE("matchers") {
    using namespace Catch::Matchers;
    CHECK_THAT(std::string("hello world"), StartsWith("hello") && EndsWith("World"));
    CHECK_THAT(std::string("Hello"), Equals("hello", Catch::CaseSensitive::No));
    CHECK_THAT((std::vector<int>{1, 2}), UnorderedEquals(std::vector<int>{2, 2}));
    CHECK_THAT(0.1 + 0.2, WithinAbs(0.3, 1e-9) || WithinULP(1.0, 0));
    // 101 epsilons (2^-52) apart: outside the default margin of 100.
    CHECK_THAT(1.0 + 101 * 0x1p-52, WithinRel(1.0));
    CHECK_THROWS_WITH(throw std::runtime_error("bad input"), "bad");
    CHECK_THROWS_WITH(throw std::runtime_error("bad input"), Contains("input"));
}

TEST_CASE("approximately") {
    CHECK(0.1 + 0.2 == Approx(0.3));
    CHECK(1.0 == Approx(1.1));
    CHECK(1.0 == Approx(1.1).epsilon(0.2));
    CHECK(100.0 == Approx(101.0).margin(0.5));
    CHECK(1.0 <= Approx(2.0));
    CHECK(2.0 >= Approx(1.0));
}

TEST_CASE("messages and explicit outcomes") {
    const int row = 7;
    INFO("row " << row);
    CAPTURE(row);
    CHECK(row == 8);
    SUCCEED("fine");
    FAIL_CHECK("by hand " << row);
    CHECK(row == 7);
}

TEST_CASE_METHOD(Ring, "fixture members") {
    slots.push_back(1);
    CHECK(slots.size() == 2);
}

TEMPLATE_TEST_CASE("types", "[types]", int, long, double) {
    TestType value{};
    CHECK(value == TestType{});
    CHECK(sizeof(TestType) == sizeof(int));
}

TEST_CASE("generated") {
    const int n = GENERATE(1, 2, 3);
    CHECK(n != 2);
    SECTION("odd") {
        CHECK(n % 2 == 1);
    }
}

TEST_CASE("hidden", "[.]") {
    CHECK(false);
}

TEST_CASE("fatal by hand") {
    FAIL("stop " << 1);
    CHECK(false);
}
