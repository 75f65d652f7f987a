// SPDX-License-Identifier: MIT
// doctest's macros over zktest: a suite written with them builds against
// zktest by including this header in place of doctest's and linking
// zktest::main. Each macro keeps doctest's meaning:
//
//     TEST_SUITE("ring") {
//         TEST_CASE("push") { SUBCASE("once") { CHECK_EQ(r.size(), 1); } }
//     }
//     TEST_CASE_TEMPLATE("empty", T, int, long) { T value{}; ... }
//
// CHECK_EQ(a, b) compares as `a == b` does, so two C strings compare as
// pointers, as under doctest. What a doctest suite may use beyond this set
// (decorators, reporters, listeners) does not compile, rather than compiling
// to something else.
#ifndef ZKTEST_DOCTEST_H
#define ZKTEST_DOCTEST_H

#include "zktest_cases.h"
#include "zktest_checks.h"
#include "zkqe_test.h"
#include "zktest_matchers.h"
#include "internal/zktest_speaking.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <limits>
#include <ostream>
#include <string>
#include <type_traits>

// A name may carry decorators: "name" * doctest::test_suite("io") *
// doctest::skip(). Those that would change a verdict (may_fail, timeout...)
// are not spoken.
#define TEST_CASE(name)                                                                            \
    ZKTEST_CASE_REGISTERED_(ZKTEST_CASES_CAT(ZktestCase_, __COUNTER__), (::zktest::CaseContext),   \
                            ::doctest::registerCase_, name)
#define TEST_CASE_FIXTURE(Fixture, name)                                                           \
    ZKTEST_CASE_REGISTERED_(ZKTEST_CASES_CAT(ZktestCase_, __COUNTER__),                            \
                            (Fixture, ::zktest::CaseContext), ::doctest::registerCase_, name)
#define TEST_SUITE(name) ZKTEST_SUITE(name)
#define SUBCASE(name) ZKTEST_SECTION(name)
#define TEST_CASE_TEMPLATE(name, T, ...)                                                           \
    ZKTEST_CASE_TYPES_REGISTERED_(ZKTEST_CASES_CAT(ZktestCase_, __COUNTER__), T, (__VA_ARGS__),    \
                                  ::doctest::registerTypedCases_, name)
#define SCENARIO(name) TEST_CASE("  Scenario: " name)
#define GIVEN(name) SUBCASE("   Given: " name)
#define WHEN(name) SUBCASE("    When: " name)
#define AND_WHEN(name) SUBCASE("And when: " name)
#define THEN(name) SUBCASE("    Then: " name)
#define AND_THEN(name) SUBCASE("And then: " name)

// An exception out of a check's expression fails that check at its line.
#define ZKTEST_DOCTEST_GUARD_(fatal, check, text)                                                  \
    ::zktest::guardedCheck_(__FILE__, __LINE__, fatal, text, [&] { (void)check; })
#define CHECK(...) ZKTEST_DOCTEST_GUARD_(false, ZKQE_CHECK(__VA_ARGS__), #__VA_ARGS__)
#define REQUIRE(...) ZKTEST_DOCTEST_GUARD_(true, ZKQE_REQUIRE(__VA_ARGS__), #__VA_ARGS__)
#define CHECK_FALSE(...) ZKTEST_DOCTEST_GUARD_(false, ZKQE_CHECK_FALSE(__VA_ARGS__), #__VA_ARGS__)
#define REQUIRE_FALSE(...)                                                                         \
    ZKTEST_DOCTEST_GUARD_(true, ZKQE_REQUIRE_FALSE(__VA_ARGS__), #__VA_ARGS__)
#define CHECK_UNARY(...) CHECK(__VA_ARGS__)
#define REQUIRE_UNARY(...) REQUIRE(__VA_ARGS__)
#define CHECK_UNARY_FALSE(...) CHECK_FALSE(__VA_ARGS__)
#define REQUIRE_UNARY_FALSE(...) REQUIRE_FALSE(__VA_ARGS__)
// The binary forms compare with the operator itself, as doctest does.
#define CHECK_EQ(a, b) CHECK((a) == (b))
#define CHECK_NE(a, b) CHECK((a) != (b))
#define CHECK_LT(a, b) CHECK((a) < (b))
#define CHECK_LE(a, b) CHECK((a) <= (b))
#define CHECK_GT(a, b) CHECK((a) > (b))
#define CHECK_GE(a, b) CHECK((a) >= (b))
#define REQUIRE_EQ(a, b) REQUIRE((a) == (b))
#define REQUIRE_NE(a, b) REQUIRE((a) != (b))
#define REQUIRE_LT(a, b) REQUIRE((a) < (b))
#define REQUIRE_LE(a, b) REQUIRE((a) <= (b))
#define REQUIRE_GT(a, b) REQUIRE((a) > (b))
#define REQUIRE_GE(a, b) REQUIRE((a) >= (b))
#define CHECK_THROWS(...) ZKQE_CHECK_THROWS(__VA_ARGS__)
#define REQUIRE_THROWS(...) ZKQE_REQUIRE_THROWS(__VA_ARGS__)
#define CHECK_THROWS_AS(...) ZKQE_CHECK_THROWS_AS(__VA_ARGS__)
#define REQUIRE_THROWS_AS(...) ZKQE_REQUIRE_THROWS_AS(__VA_ARGS__)
#define CHECK_NOTHROW(...) ZKQE_CHECK_NOTHROW(__VA_ARGS__)
#define REQUIRE_NOTHROW(...) ZKQE_REQUIRE_NOTHROW(__VA_ARGS__)
#define CHECK_THROWS_WITH(statement, message) ZKQE_CHECK_THROWS_WITH(statement, message)
#define REQUIRE_THROWS_WITH(statement, message) ZKQE_REQUIRE_THROWS_WITH(statement, message)
#define ZKTEST_DOCTEST_THROWS_WITH_AS_(fatal, statement, message, ...)                             \
    ::zktest::Check(ZKQE_RUNNING_TEST_, __FILE__, __LINE__, fatal, "",                             \
                    ::zktest::throwsWith_<__VA_ARGS__>(                                            \
                        "THROWS_WITH_AS(" #statement ", " #message ", " #__VA_ARGS__ ")",          \
                        [&] { (void)(statement); }, message))
#define CHECK_THROWS_WITH_AS(statement, message, ...)                                              \
    ZKTEST_DOCTEST_THROWS_WITH_AS_(false, statement, message, __VA_ARGS__)
#define REQUIRE_THROWS_WITH_AS(statement, message, ...)                                            \
    ZKTEST_DOCTEST_THROWS_WITH_AS_(true, statement, message, __VA_ARGS__)

#define INFO(...) ZKQE_INFO(__VA_ARGS__)
#define CAPTURE(...) ZKQE_CAPTURE(__VA_ARGS__)
// MESSAGE and the WARN family never fail: they say what they saw on
// standard error, in the compiler's form.
#define MESSAGE(...) ZKTEST_DOCTEST_SAY_("message", __VA_ARGS__)
#define ZKTEST_DOCTEST_SAY_(kind, ...)                                                             \
    std::fprintf(stderr, "%s:%d: " kind ": %s\n", __FILE__, __LINE__,                              \
                 (::zktest::MessageBuilder() << "" __VA_ARGS__).text.c_str())
#define WARN(...) ((__VA_ARGS__) ? (void)0 : (void)ZKTEST_DOCTEST_SAY_("warning", #__VA_ARGS__))
#define WARN_FALSE(...)                                                                            \
    (!(__VA_ARGS__) ? (void)0 : (void)ZKTEST_DOCTEST_SAY_("warning", "!(" #__VA_ARGS__ ")"))
// An explicit failure: FAIL ends the case's run as REQUIRE does, FAIL_CHECK
// goes on as CHECK does.
#define FAIL(...) ZKTEST_DOCTEST_FAIL_(true, __VA_ARGS__)
#define FAIL_CHECK(...) ZKTEST_DOCTEST_FAIL_(false, __VA_ARGS__)
#define ZKTEST_DOCTEST_FAIL_(fatal, ...)                                                           \
    (void)(::zktest::Check(ZKQE_RUNNING_TEST_, __FILE__, __LINE__, fatal, "",                      \
                           ::zktest::textFailure("FAIL"))                                          \
           << "" __VA_ARGS__)

namespace doctest {

// A case's name with its decorators.
struct CaseName_ {
    CaseName_(const char* name) : name(name) {}
    const char* name;
    const char* suite = nullptr;
    bool skipped = false;
};
struct test_suite {
    explicit test_suite(const char* name) : name(name) {}
    const char* name;
};
struct skip {
    explicit skip(bool on = true) : on(on) {}
    bool on;
};
struct description {
    explicit description(const char*) {}
};
inline CaseName_ operator*(CaseName_ name, const test_suite& suite) {
    name.suite = suite.name;
    return name;
}
// A skipped case is hidden: it runs when a filter names it.
inline CaseName_ operator*(CaseName_ name, const skip& skip) {
    name.skipped = skip.on;
    return name;
}
inline CaseName_ operator*(CaseName_ name, const description&) {
    return name;
}
// doctest ends a test case at its first fatal failure or exception: none of
// its other subcases runs.
struct EndingCase_ {
    ::zktest::CaseFunction run;
    const char* file;
    int line;
};
inline void runEndingAtFailure_(::ZKQETest& runner, const void* context, std::size_t) {
    const auto& ending = *static_cast<const EndingCase_*>(context);
    try {
        ending.run(runner);
    } catch (const ::zktest::RequireAbort&) {
        throw ::zktest::EndCase();
    } catch (const ::zktest::SkipCase&) {
        throw;
    } catch (const ::tooManyFailures&) {
        throw;
    } catch (...) {
        try {
            ::zktest::failOnException_(ending.file, ending.line, true, "test case");
        } catch (const ::zktest::RequireAbort&) {
        }
        throw ::zktest::EndCase();
    }
}
inline bool registerEnding_(::zktest::CaseFunction run, const char* file, int line,
                            const char* suite, const CaseName_& name, const std::string& variant) {
    // Kept as long as the cases are; a deque, so that none moves.
    static std::deque<EndingCase_> cases;
    cases.push_back({run, file, line});
    const EndingCase_* kept = &cases.back();
    return ::zktest::registerCaseVariant(&runEndingAtFailure_, kept, 0, file, line,
                                         name.suite ? name.suite : suite, name.name,
                                         variant.c_str(), name.skipped ? "[.]" : nullptr);
}
inline bool registerCase_(::zktest::CaseFunction run, const char* file, int line, const char* suite,
                          const CaseName_& name) {
    return registerEnding_(run, file, line, suite, name, "");
}
template <class Case> void runTyped_(::ZKQETest& runner) {
    ::zktest::runTypedCase_<Case>(runner, nullptr, 0);
}
template <class Case, class... Types>
bool registerTypedCases_(const char* list, const char* file, int line, const char* suite,
                         const CaseName_& name) {
    std::size_t index = 0;
    ((registerEnding_(&runTyped_<typename Case::template Of<Types>>, file, line, suite, name,
                      "<" + ::zktest::typeListEntry_(list, index) + ">"),
      ++index),
     ...);
    return true;
}

// doctest's Approx: equal when the difference is under `epsilon` times
// (`scale` + the larger magnitude of the two).
class Approx : public ::zktest::ApproxComparisons_<Approx> {
public:
    explicit Approx(double value) : value_(value) {}
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
    Approx& scale(double scale) {
        scale_ = scale;
        return *this;
    }
    double value() const { return value_; }
    bool matches(double other) const {
        return std::fabs(other - value_) <
               epsilon_ * (scale_ + std::max(std::fabs(other), std::fabs(value_)));
    }

private:
    double value_;
    double epsilon_ = std::numeric_limits<float>::epsilon() * 100;
    double scale_ = 1.0;
};

// For a main of the suite's own: Context context(argc, argv); context.run().
class Context {
public:
    Context(int argc = 0, char** argv = nullptr) : argc_(argc), argv_(argv) {}
    void applyCommandLine(int argc, char** argv) {
        argc_ = argc;
        argv_ = argv;
    }
    int run() { return ::zktest::runCases(argc_, argv_); }
    bool shouldExit() const { return false; }

private:
    int argc_;
    char** argv_;
};

} // namespace doctest

// The runner reads the framework's flags in every program that includes this.
[[maybe_unused]] static const bool zktestDoctestFlags_ = ::zktest::speakDialect_(4);

#endif
