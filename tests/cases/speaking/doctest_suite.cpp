// SPDX-License-Identifier: MIT
// A suite in doctest's macros, built twice: against doctest itself and against
// zktest's doctest-speaking header. Both runs must fail the same checks.
#ifdef ZKTEST_WITH_DOCTEST
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest/doctest.h>
#else
#include <zktest_doctest.h>
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
const char* const kName = "ring";
} // namespace

TEST_CASE("values") {
    CHECK(twice(2) == 4);
    CHECK_EQ(twice(2), 5);
    CHECK_NE(twice(2), 4);
    CHECK_LT(twice(3), 6);
    CHECK_FALSE(twice(0) == 0);
    CHECK_UNARY(twice(0));
    CHECK_EQ(kName, std::string("ring").c_str()); // pointers, as doctest compares them
    REQUIRE_GE(twice(1), 3);
    CHECK(false); // not reached: REQUIRE ended the case
}

TEST_SUITE("ring") {
    TEST_CASE("subcases") {
        int n = 1;
        SUBCASE("first") {
            n += 1;
            CHECK(n == 3);
        }
        SUBCASE("second") {
            SUBCASE("inner a") {
                CHECK(n == 1);
            }
            SUBCASE("inner b") {
                REQUIRE(n == 0);
            }
        }
    }
    TEST_CASE_FIXTURE(Ring, "fixture members") {
        slots.push_back(1);
        CHECK_EQ(slots.size(), 2u);
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

TEST_CASE("thrown messages" * doctest::test_suite("errors")) {
    CHECK_THROWS_WITH(throw std::runtime_error("bad input"), "bad");
    CHECK_THROWS_WITH(throw std::runtime_error("bad"), "bad");
    CHECK_THROWS_WITH(throw std::string("bad"), "bad");
    CHECK_THROWS_WITH(throw "bad", "bad");
    CHECK_THROWS_WITH_AS(throw std::string("bad"), "bad", std::string);
    CHECK_THROWS_WITH_AS(throw std::runtime_error("bad"), "bad", std::logic_error);
    CHECK_THROWS_WITH_AS(throw std::logic_error("bad"), "bad", std::logic_error);
    REQUIRE_THROWS_WITH_AS(throw std::logic_error("bad"), "good", std::logic_error);
    CHECK(!"not reached");
}

TEST_CASE("skipped by its decorator" * doctest::skip()) {
    CHECK(false);
}

// A fatal failure or an exception ends the whole test case: the subcases
// after it never run.
TEST_CASE("a fatal failure ends the case") {
    SUBCASE("fatal") {
        REQUIRE(1 == 2);
    }
    SUBCASE("never run") {
        CHECK(3 == 4);
    }
}

TEST_CASE("an exception ends the case") {
    SUBCASE("throws") {
        throw std::runtime_error("out");
    }
    SUBCASE("never run") {
        CHECK(3 == 4);
    }
}

SCENARIO("a ring fills") {
    GIVEN("an empty ring") {
        std::vector<int> ring;
        WHEN("one is pushed") {
            ring.push_back(1);
            THEN("it holds two") {
                CHECK(ring.size() == 2);
            }
        }
    }
}

TEST_CASE("approximately") {
    CHECK(0.1 + 0.2 == doctest::Approx(0.3));
    CHECK(1.0 == doctest::Approx(1.1));
    CHECK(1.0 == doctest::Approx(1.1).epsilon(0.2));
    CHECK(100.0 != doctest::Approx(101.0).epsilon(0.001));
}

TEST_CASE("messages and explicit outcomes") {
    const int row = 7;
    INFO("row " << row);
    CAPTURE(row);
    CHECK(row == 8);
    MESSAGE("said, no failure");
    WARN(row == 9);
    FAIL_CHECK("by hand " << row);
    CHECK(row == 7);
}

// A blank before a comma is no part of the type's name.
// clang-format off
TEST_CASE_TEMPLATE("types", T, int, long , double) {
    // clang-format on
    T value{};
    CHECK(value == T{});
    CHECK_EQ(sizeof(T), sizeof(int));
}

TEST_CASE("fatal by hand") {
    FAIL("stop " << 1);
    CHECK(false);
}
