// SPDX-License-Identifier: MIT
// Catch2's macros over zktest: a suite written with them builds against
// zktest by including this header in place of Catch2's and linking
// zktest::main. Each macro keeps Catch2's meaning:
//
//     TEST_CASE("ring", "[ring]") {            // a case, its tags
//         SECTION("push") { REQUIRE(r.push(1)); }
//     }
//     TEMPLATE_TEST_CASE("empty", "", int, long) { TestType value{}; ... }
//     CHECK(x == Approx(0.1).epsilon(0.01));
//
// What a Catch2 suite may use beyond this set (matchers of its own, reporters,
// listeners, benchmarks) does not compile, rather than compiling to something
// else.
#ifndef ZKTEST_CATCH2_H
#define ZKTEST_CATCH2_H

#include "zktest_cases.h"
#include "zktest_checks.h"
#include "zktest_matchers.h"
#include "internal/zktest_speaking.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#define TEST_CASE(...) ZKTEST_CASE(__VA_ARGS__)
#define TEST_CASE_METHOD(Fixture, ...) ZKTEST_CASE_FIXTURE(Fixture, __VA_ARGS__)
// Catch2's optional second argument, a description, is not part of the name.
#define SECTION(...) ZKTEST_SECTION(ZKTEST_CATCH2_FIRST_(__VA_ARGS__, ))
#define ZKTEST_CATCH2_FIRST_(first, ...) first
#define TEMPLATE_TEST_CASE(name, tags, ...) ZKTEST_CASE_TYPES(TestType, (__VA_ARGS__), name, tags)
#define GENERATE(...) ZKTEST_GENERATE(__VA_ARGS__)

// An exception out of a check's expression fails that check at its line.
#define ZKTEST_CATCH2_GUARD_(fatal, check, text)                                                   \
    ::zktest::guardedCheck_(__FILE__, __LINE__, fatal, text, [&] { (void)check; })
#define CHECK(...) ZKTEST_CATCH2_GUARD_(false, ZKQE_CHECK(__VA_ARGS__), #__VA_ARGS__)
#define REQUIRE(...) ZKTEST_CATCH2_GUARD_(true, ZKQE_REQUIRE(__VA_ARGS__), #__VA_ARGS__)
#define CHECK_FALSE(...) ZKTEST_CATCH2_GUARD_(false, ZKQE_CHECK_FALSE(__VA_ARGS__), #__VA_ARGS__)
#define REQUIRE_FALSE(...) ZKTEST_CATCH2_GUARD_(true, ZKQE_REQUIRE_FALSE(__VA_ARGS__), #__VA_ARGS__)
#define CHECK_THROWS(...) ZKQE_CHECK_THROWS(__VA_ARGS__)
#define REQUIRE_THROWS(...) ZKQE_REQUIRE_THROWS(__VA_ARGS__)
#define CHECK_THROWS_AS(...) ZKQE_CHECK_THROWS_AS(__VA_ARGS__)
#define REQUIRE_THROWS_AS(...) ZKQE_REQUIRE_THROWS_AS(__VA_ARGS__)
#define CHECK_NOTHROW(...) ZKQE_CHECK_NOTHROW(__VA_ARGS__)
#define REQUIRE_NOTHROW(...) ZKQE_REQUIRE_NOTHROW(__VA_ARGS__)
#define CHECK_THROWS_WITH(statement, ...) ZKQE_CHECK_THROWS_WITH(statement, __VA_ARGS__)
#define REQUIRE_THROWS_WITH(statement, ...) ZKQE_REQUIRE_THROWS_WITH(statement, __VA_ARGS__)
#define CHECK_THAT(value, ...) ZKQE_CHECK_THAT(value, __VA_ARGS__)
#define REQUIRE_THAT(value, ...) ZKQE_REQUIRE_THAT(value, __VA_ARGS__)

#define INFO(...) ZKQE_INFO(__VA_ARGS__)
#define CAPTURE(...) ZKQE_CAPTURE(__VA_ARGS__)
#define SKIP(...)                                                                                  \
    ::zktest::skipCase(__FILE__, __LINE__, (::zktest::MessageBuilder() << "" __VA_ARGS__).text)
// An explicit failure: FAIL ends the case's run as REQUIRE does, FAIL_CHECK
// goes on as CHECK does; SUCCEED counts a passed check.
#define FAIL(...) ZKTEST_CATCH2_FAIL_(true, __VA_ARGS__)
#define FAIL_CHECK(...) ZKTEST_CATCH2_FAIL_(false, __VA_ARGS__)
#define ZKTEST_CATCH2_FAIL_(fatal, ...)                                                            \
    (void)(::zktest::Check(ZKQE_RUNNING_TEST_, __FILE__, __LINE__, fatal, "",                      \
                           ::zktest::textFailure("FAIL"))                                          \
           << "" __VA_ARGS__)
#define SUCCEED(...)                                                                               \
    (void)::zktest::Check(ZKQE_RUNNING_TEST_, __FILE__, __LINE__, false, "SUCCEED",                \
                          ::zktest::Outcome{nullptr})
// A warning is no failure: it goes to standard error in the compiler's form.
#define WARN(...)                                                                                  \
    std::fprintf(stderr, "%s:%d: warning: %s\n", __FILE__, __LINE__,                               \
                 (::zktest::MessageBuilder() << "" __VA_ARGS__).text.c_str())

namespace Catch {

enum class CaseSensitive { Yes, No };

// Catch2's matchers, as zktest's: Contains on a string is a substring, on a
// vector every element of the other; VectorContains is one element.
namespace Matchers {
inline ::zktest::Case letters_(CaseSensitive sensitive) {
    return sensitive == CaseSensitive::Yes ? ::zktest::Case::sensitive
                                           : ::zktest::Case::insensitive;
}
inline auto Equals(const std::string& text, CaseSensitive cs = CaseSensitive::Yes) {
    return ::zktest::Equals(text, letters_(cs));
}
inline auto StartsWith(const std::string& text, CaseSensitive cs = CaseSensitive::Yes) {
    return ::zktest::StartsWith(text, letters_(cs));
}
inline auto EndsWith(const std::string& text, CaseSensitive cs = CaseSensitive::Yes) {
    return ::zktest::EndsWith(text, letters_(cs));
}
inline auto Contains(const std::string& text, CaseSensitive cs = CaseSensitive::Yes) {
    return ::zktest::ContainsSubstring(text, letters_(cs));
}
inline auto Matches(const std::string& expression, CaseSensitive cs = CaseSensitive::Yes) {
    return ::zktest::Matches(expression, letters_(cs));
}
inline auto WithinAbs(double target, double margin) {
    return ::zktest::WithinAbs(target, margin);
}
inline auto WithinRel(double target,
                      double fraction = std::numeric_limits<double>::epsilon() * 100) {
    return ::zktest::WithinRel(target, fraction);
}
inline auto WithinULP(double target, unsigned long long ulps) {
    return ::zktest::WithinUlps(target, static_cast<unsigned>(ulps));
}
inline auto WithinULP(float target, unsigned long long ulps) {
    return ::zktest::WithinUlps(target, static_cast<unsigned>(ulps));
}
template <class T> auto VectorContains(const T& element) {
    return ::zktest::Contains(element);
}
template <class T> auto UnorderedEquals(const std::vector<T>& expected) {
    return ::zktest::UnorderedEquals(expected);
}
template <class T, class F>
auto Predicate(F predicate, std::string description = "matches a predicate") {
    return ::zktest::Predicate(predicate, std::move(description));
}
} // namespace Matchers

// Catch2's Approx: equal when within `margin` of the value, or within
// `epsilon` times (`scale` + the magnitude of the Approx's own value).
class Approx : public ::zktest::ApproxComparisons_<Approx> {
public:
    explicit Approx(double value) : value_(value) {}
    static Approx custom() { return Approx(0); }
    // The same margins around another value.
    Approx operator()(double value) const {
        Approx other = *this;
        other.value_ = value;
        return other;
    }
    Approx& epsilon(double epsilon) {
        epsilon_ = epsilon;
        return *this;
    }
    Approx& margin(double margin) {
        margin_ = margin;
        return *this;
    }
    Approx& scale(double scale) {
        scale_ = scale;
        return *this;
    }
    bool matches(double other) const {
        const double magnitude = std::isinf(value_) ? 0 : std::fabs(value_);
        return within(other, margin_) || within(other, epsilon_ * (scale_ + magnitude));
    }
    double value() const { return value_; }

    template <class T, class = std::enable_if_t<std::is_arithmetic<T>::value>>
    friend bool operator<=(const T& lhs, const Approx& rhs) {
        return static_cast<double>(lhs) < rhs.value_ || rhs.matches(static_cast<double>(lhs));
    }
    template <class T, class = std::enable_if_t<std::is_arithmetic<T>::value>>
    friend bool operator>=(const T& lhs, const Approx& rhs) {
        return static_cast<double>(lhs) > rhs.value_ || rhs.matches(static_cast<double>(lhs));
    }

private:
    bool within(double other, double margin) const {
        // Written so that an infinite value compares equal to itself.
        return (other + margin >= value_) && (value_ + margin >= other);
    }

    double value_;
    double epsilon_ = std::numeric_limits<float>::epsilon() * 100;
    double margin_ = 0;
    double scale_ = 0;
};

// For a main of the suite's own: Catch::Session().run(argc, argv).
struct Session {
    int run(int argc, char** argv) { return ::zktest::runCases(argc, argv); }
};

} // namespace Catch

using Catch::Approx;

// The runner reads the framework's flags in every program that includes this.
[[maybe_unused]] static const bool zktestCatch2Flags_ = ::zktest::speakDialect_(2);

#endif
