// SPDX-License-Identifier: MIT
// Failure texts of the value checks, as the report and the console show
// them. Every check here fails unless its comment says it passes; the
// golden file is the list of texts a developer reads.
#include <zktest_cases.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Point {
    int x;
    int y;
};
std::ostream& operator<<(std::ostream& out, const Point& p) {
    return out << "(" << p.x << ",\n" << p.y << ")";
}
struct Opaque {
    char bytes[12];
    bool operator==(const Opaque&) const { return false; }
};
// Printed as its text alone, so two notes can differ at their first character.
struct Note {
    std::string text;
    bool operator==(const Note& other) const { return text == other.text; }
};
std::ostream& operator<<(std::ostream& out, const Note& note) {
    return out << note.text;
}
enum class Colour { red = 2, green };
// A comparison whose result converts to bool only explicitly.
struct Verdict {
    bool holds;
    explicit operator bool() const { return holds; }
};
struct Version {
    int number;
    Verdict operator==(const Version& other) const { return {number == other.number}; }
};

} // namespace

ZKTEST_CASE("comparisons") {
    ZKQE_CHECK_EQ(std::vector<int>{1, 2}.size(), 3u);
    ZKQE_CHECK_NE(2 + 2, 4);
    ZKQE_CHECK_LT(-1, 0u); // passes: by value, not by conversion
    ZKQE_CHECK_LT(5, 5);
    ZKQE_CHECK_LE(6, 5);
    ZKQE_CHECK_GT(4u, 4);
    ZKQE_CHECK_GE(-1, 0u);
    const char* word = "same";
    char copy[] = "same";
    ZKQE_CHECK_EQ(word, copy); // passes: by content
    ZKQE_CHECK_NE(word, copy);
    ZKQE_CHECK_EQ(std::pair<int, int>(1, 2).second, 3);
    ZKQE_CHECK_FALSE(word != nullptr);
    ZKQE_CHECK_NEAR(0.1 + 0.2, 0.3, 1e-12); // passes
    ZKQE_CHECK_NEAR(1.5, 1.25, 0.125);
}

ZKTEST_CASE("values") {
    ZKQE_CHECK_EQ(0.1 + 0.2, 0.3);
    ZKQE_CHECK_EQ(1.0f / 3, 0.25f);
    ZKQE_CHECK_EQ(true, false);
    ZKQE_CHECK_EQ('\n', 'q');
    ZKQE_CHECK_EQ(std::string("tab\there \"quoted\"\x01"), "line\nbreak");
    ZKQE_CHECK_EQ(static_cast<const char*>(nullptr), "text");
    ZKQE_CHECK_EQ(Colour::green, Colour::red);
    ZKQE_CHECK_EQ(std::vector<std::string>{"a", "b"}, std::vector<std::string>{"a"});
    ZKQE_CHECK_EQ(Point{1, 2}.x, 0) << Point{1, 2};
    ZKQE_CHECK_EQ(Opaque{}, Opaque{});
    ZKQE_CHECK_EQ(std::string(200, 'a') + "end", std::string("start") + std::string(200, 'b'));
    // One line each: compilers disagree on the __LINE__ of a check that spans two.
    const std::string as(100, 'a'), zs(100, 'z'), dashes(150, '-'), dots(150, '.');
    ZKQE_CHECK_EQ(as + "X\n" + zs, as + "\\Y" + zs);
    ZKQE_CHECK_EQ(dashes + "\nkeep\nleft\tside\n" + dots, dashes + "\nkeep\nright\n" + dots);
    ZKQE_CHECK_EQ(Note{"first\n" + dots}, Note{"second\n" + dots});
    ZKQE_CHECK_LT(std::string(130, 'q'), std::string(130, 'q'));
    ZKQE_CHECK_EQ(static_cast<signed char>(-3), static_cast<unsigned char>(250));
}

ZKTEST_CASE("comparisons written out") {
    const int three = 3;
    const unsigned two = 2;
    const Point* none = nullptr;
    ZKQE_CHECK(three == two);
    ZKQE_CHECK(three + 1 != 4);
    ZKQE_CHECK(-1 < 0u); // passes: by value, not by conversion
    ZKQE_CHECK(three < 3);
    ZKQE_CHECK(three <= -1);
    ZKQE_CHECK(two > three);
    ZKQE_CHECK(-1 >= two);
    ZKQE_CHECK(std::string("ab") == "abc");
    ZKQE_CHECK(none == 0);       // passes: 0 is the null pointer here
    ZKQE_CHECK(none != nullptr); // the pointer's value
    ZKQE_CHECK(none);            // a lone value shows itself
    ZKQE_CHECK(three - 3);
    ZKQE_CHECK(three == 3 && two == 3);          // the text alone
    ZKQE_CHECK(none != nullptr && none->x == 1); // short-circuits as ever
    ZKQE_CHECK(three & 4);
    ZKQE_CHECK(Version{1} == Version{2});
    ZKQE_REQUIRE(two * 2 >= three * 2) << "fatal";
    ZKQE_CHECK(!"not reached");
}

namespace {
void checkPositive(int value) {
    ZKQE_CHECK(value > 0);
}
struct CheckingFixture {
    CheckingFixture() { ZKQE_CHECK_EQ(ready, 1); }
    int ready = 0;
};
} // namespace

ZKTEST_CASE_FIXTURE(CheckingFixture, "checks in a helper and a fixture's constructor") {
    checkPositive(-2);
}

ZKTEST_CASE("exceptions") {
    std::vector<int> numbers{1, 2, 3};
    ZKQE_CHECK_THROWS(numbers.size());
    ZKQE_CHECK_THROWS(numbers.at(9));                                        // passes
    ZKQE_CHECK_THROWS_AS(std::vector<int>({1, 2}).at(9), std::out_of_range); // passes
    ZKQE_CHECK_THROWS_AS(numbers.at(0), std::out_of_range);
    ZKQE_CHECK_THROWS_AS(throw std::logic_error("not\nthis"), std::runtime_error);
    ZKQE_CHECK_NOTHROW(throw 42);
}

ZKTEST_CASE("messages") {
    const int row = 7;
    ZKQE_CHECK(row == 8) << "row " << row << ", name " << std::string("a\nb");
    {
        ZKQE_INFO("outer " << row);
        ZKQE_INFO("inner");
        ZKQE_CHECK_EQ(row, 9);
    }
    ZKQE_CHECK(row < 0); // no message any more
}

ZKTEST_CASE("captured values and pointers against null") {
    const int row = 4;
    const std::string name = "a\tb";
    int target = 0;
    int* some = &target;
    const Point* none = nullptr;
    {
        // Names written without a blank after the comma, as some write them.
        // clang-format off
        ZKQE_CAPTURE(row,name, std::pair<int, int>(1, 2).first);
        // clang-format on
        ZKQE_CHECK_NE(0, none) << "message";
        ZKQE_CHECK_NE(none, nullptr);
    }
    ZKQE_CHECK_NE(some, 0);       // passes
    ZKQE_CHECK_EQ(none, 0);       // passes
    ZKQE_CHECK_EQ(nullptr, none); // passes
    ZKQE_CHECK_NE(none, 0);       // no capture is left
}

// Each name a run-time text: one run per section, each its own step.
ZKTEST_CASE("section names built at run time") {
    for (int i = 1; i <= 2; ++i)
        ZKTEST_SECTION(std::string("part ") + std::to_string(i)) {
            ZKQE_CHECK(i == 0);
        }
}

namespace {
void needNetwork() {
    ZKQE_SKIP(std::string("no network") + " here");
}
} // namespace

ZKTEST_CASE("skipped in a helper") {
    ZKTEST_SECTION("first") {
        needNetwork();
        ZKQE_CHECK(!"ran after the skip");
    }
    ZKTEST_SECTION("second") {
        ZKQE_CHECK(!"a section after the skip");
    }
}

ZKTEST_CASE("a failure and then a skip") {
    ZKQE_CHECK(1 > 2);
    ZKQE_SKIP("too late: the case has failed");
}

ZKTEST_CASE("a fatal check ends only its case") {
    try {
        ZKQE_REQUIRE_EQ(1, 2) << "first";
    } catch (const std::exception&) {
        ZKQE_CHECK(!"swallowed by a catch of std::exception");
    }
    ZKQE_CHECK(!"ran after the fatal check");
}

ZKTEST_CASE("the next case runs") {
    ZKQE_REQUIRE(1 + 1 == 2); // passes
    ZKQE_REQUIRE(false);
}

// Hidden; past the 128 failures at which a plain test would stop, a program
// of cases runs on unless --max-failures says otherwise.
ZKTEST_CASE("more failures than a plain test allows", "[.][limit]") {
    for (int i = 0; i < 129; ++i)
        ZKQE_CHECK(i < 0);
    ZKQE_CHECK(!"the last check");
}

// The widest integers print whole: a buffer a digit short would cut them.
ZKTEST_CASE("the widest integers") {
    ZKQE_CHECK_EQ(-9223372036854775807LL - 1, -9223372036854775807LL);
    ZKQE_CHECK_EQ(18446744073709551615ULL, 0u);
}
