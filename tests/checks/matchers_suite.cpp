// SPDX-License-Identifier: MIT
// Failure texts of the matchers, THROWS_WITH and FLOAT_EQ/DOUBLE_EQ. Every
// check here fails unless its comment says it passes; the golden file is
// the list of texts a developer reads, and the count of passes in its
// summary line guards the passing ones.
#include <zktest_cases.h>
#include <zktest_matchers.h>

#include <cmath>
#include <limits>
#include <list>
#include <stdexcept>
#include <string>
#include <vector>

using zktest::Case;

namespace {

template <class F> F ulpsUp(F value, int steps) {
    for (int i = 0; i < steps; ++i)
        value = std::nextafter(value, std::numeric_limits<F>::infinity());
    return value;
}

} // namespace

ZKTEST_CASE("strings") {
    const std::string text = "hello world";
    ZKQE_CHECK_THAT(text, zktest::Equals("hello world")); // passes
    ZKQE_CHECK_THAT(text, zktest::Equals("Hello world"));
    ZKQE_CHECK_THAT(text, zktest::Equals("HELLO WORLD", Case::insensitive));  // passes
    ZKQE_CHECK_THAT("Amazing", zktest::Equals("aMAZING", Case::insensitive)); // passes
    ZKQE_CHECK_THAT("{", zktest::Equals("[", Case::insensitive));             // only letters fold
    ZKQE_CHECK_THAT(text, zktest::StartsWith("hell"));                        // passes
    ZKQE_CHECK_THAT(text, zktest::StartsWith("bye"));
    ZKQE_CHECK_THAT(text, zktest::StartsWith("HELL", Case::insensitive)); // passes
    ZKQE_CHECK_THAT(text, zktest::EndsWith("world"));                     // passes
    ZKQE_CHECK_THAT(text, zktest::EndsWith("word"));
    ZKQE_CHECK_THAT(text, zktest::EndsWith("WORLD", Case::insensitive)); // passes
    ZKQE_CHECK_THAT(text, zktest::ContainsSubstring("lo w"));            // passes
    ZKQE_CHECK_THAT(text, zktest::ContainsSubstring("LO W"));
    ZKQE_CHECK_THAT(text, zktest::ContainsSubstring("O WORLD", Case::insensitive)); // passes
    ZKQE_CHECK_THAT(text, zktest::ContainsSubstring("world!", Case::insensitive));
    ZKQE_CHECK_THAT(text, zktest::Matches("h.*d"));                       // passes
    ZKQE_CHECK_THAT(text, zktest::Matches("hel+o"));                      // the whole string
    ZKQE_CHECK_THAT(text, zktest::Matches("H.* W.*", Case::insensitive)); // passes
    ZKQE_CHECK_THAT(static_cast<const char*>(nullptr), zktest::StartsWith(""));
    ZKQE_CHECK_THAT("tab\there", zktest::EndsWith("\n")) << "row " << 3;
}

ZKTEST_CASE("numbers") {
    ZKQE_CHECK_THAT(2.5, zktest::WithinAbs(2, 0.5)); // passes: at the margin
    ZKQE_CHECK_THAT(2.75, zktest::WithinAbs(2, 0.5));
    ZKQE_CHECK_THAT(0.2, zktest::WithinRel(0.1, 0.5));             // passes: half the larger
    ZKQE_CHECK_THAT(0.3, zktest::WithinRel(0.123456789, 0.5));     // all its digits
    ZKQE_CHECK_THAT(ulpsUp(1.0f, 4), zktest::WithinUlps(1.0f, 4)); // passes
    ZKQE_CHECK_THAT(ulpsUp(1.0, 5), zktest::WithinUlps(1.0, 4));
    const double infinity = std::numeric_limits<double>::infinity();
    ZKQE_CHECK_THAT(infinity, zktest::WithinAbs(infinity, 0)); // passes
    ZKQE_CHECK_THAT(std::nan(""), zktest::WithinAbs(0, infinity));
    ZKQE_CHECK_THAT(std::nan(""), zktest::WithinUlps(std::nan(""), 4));
}

ZKTEST_CASE("floating-point equality") {
    const float fourUp = ulpsUp(1.0f, 4), fiveUp = ulpsUp(1.0f, 5);
    ZKQE_CHECK_FLOAT_EQ(fourUp, 1.0f); // passes
    ZKQE_CHECK_FLOAT_EQ(fiveUp, 1.0f);
    ZKQE_CHECK_DOUBLE_EQ(1.0, ulpsUp(1.0, 4)); // passes
    ZKQE_CHECK_DOUBLE_EQ(1.0, ulpsUp(1.0, 5));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    ZKQE_CHECK_FLOAT_EQ(nan, nan);
    ZKQE_CHECK_DOUBLE_EQ(1.0, std::nan(""));
    ZKQE_CHECK_FLOAT_EQ(0.0f, -0.0f); // passes
    ZKQE_CHECK_DOUBLE_EQ(-0.0, 0.0);  // passes
    // Across zero the values between count, both signs of zero as one.
    const float tiny = std::numeric_limits<float>::denorm_min();
    ZKQE_CHECK_FLOAT_EQ(2 * tiny, -2 * tiny); // passes: 4 apart
    ZKQE_CHECK_FLOAT_EQ(3 * tiny, -2 * tiny);
    const double least = std::numeric_limits<double>::denorm_min();
    ZKQE_CHECK_DOUBLE_EQ(-least, 4 * least);
}

ZKTEST_CASE("containers") {
    const std::vector<int> numbers{1, 1, 2};
    const std::vector<std::string> words{"a", "b"};
    ZKQE_CHECK_THAT(words, zktest::Contains("b")); // passes: by content
    ZKQE_CHECK_THAT(numbers, zktest::Contains(3));
    ZKQE_CHECK_THAT(numbers, zktest::UnorderedEquals({2, 1, 1})); // passes
    ZKQE_CHECK_THAT(numbers, zktest::UnorderedEquals({1, 2, 2}));
    ZKQE_CHECK_THAT(numbers, zktest::UnorderedEquals(std::list<int>{1, 1, 2, 2}));
    ZKQE_CHECK_THAT(std::list<int>{5, 6}, zktest::SizeIs(2)); // passes
    ZKQE_CHECK_THAT(numbers, zktest::SizeIs(2));
    const auto even = zktest::Predicate([](int n) { return n % 2 == 0; }, "is even");
    ZKQE_CHECK_THAT(4, even); // passes
    ZKQE_CHECK_THAT(7, even);
    ZKQE_CHECK_THAT(std::vector<int>{3, 1}, zktest::SizeIs(3)); // the value's own commas
}

ZKTEST_CASE("composition") {
    using zktest::EndsWith;
    using zktest::StartsWith;
    const std::string word = "abc";
    ZKQE_CHECK_THAT(word, StartsWith("a") && EndsWith("c")); // passes
    ZKQE_CHECK_THAT(word, StartsWith("a") && EndsWith("z"));
    ZKQE_CHECK_THAT(word, StartsWith("x") || EndsWith("c")); // passes
    ZKQE_CHECK_THAT(word, StartsWith("x") || EndsWith("y") || zktest::SizeIs(2));
    ZKQE_CHECK_THAT(word, !StartsWith("x")); // passes
    ZKQE_CHECK_THAT(word, !StartsWith("a") && zktest::SizeIs(3));
    ZKQE_CHECK_THAT(word, StartsWith("x") || (EndsWith("c") && zktest::SizeIs(2)));
    ZKQE_CHECK_THAT(word, !(StartsWith("a") && zktest::SizeIs(3)));
}

ZKTEST_CASE("exceptions with messages") {
    const auto fail = [](const char* why) { throw std::runtime_error(why); };
    ZKQE_CHECK_THROWS_WITH(fail("bad input"), "bad input");                               // passes
    ZKQE_CHECK_THROWS_WITH(std::vector<int>{1, 2}.at(5), zktest::ContainsSubstring("5")); // passes
    ZKQE_CHECK_THROWS_WITH(fail("bad input"), "bad");
    ZKQE_CHECK_THROWS_WITH(fail("bad input"),
                           zktest::StartsWith("BAD", Case::insensitive)); // passes
    ZKQE_CHECK_THROWS_WITH(fail("bad input"), zktest::EndsWith("output"));
    ZKQE_CHECK_THROWS_WITH(std::string("quiet").size(), "anything");
    ZKQE_CHECK_THROWS_WITH(throw 42, std::string("a message"));
}

ZKTEST_CASE("a fatal matcher check ends its case") {
    ZKQE_REQUIRE_THAT(std::string("abc"), zktest::SizeIs(3));   // passes
    ZKQE_REQUIRE_THROWS_WITH(throw std::logic_error("x"), "x"); // passes
    ZKQE_REQUIRE_FLOAT_EQ(0.5f, 0.5f);                          // passes
    ZKQE_REQUIRE_DOUBLE_EQ(0.25, 0.25);                         // passes
    ZKQE_REQUIRE_THAT(std::string("abc"), zktest::SizeIs(4)) << "fatal";
    ZKQE_CHECK(!"not reached");
}
