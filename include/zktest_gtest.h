// SPDX-License-Identifier: MIT
// GoogleTest's macros over zktest: a suite written with them builds against
// zktest by including this header in place of GoogleTest's and linking
// zktest::main. Each macro keeps GoogleTest's meaning:
//
//     TEST(Ring, StartsEmpty) { EXPECT_TRUE(Ring().empty()); }
//     TEST_F(RingTest, Push) { ASSERT_EQ(ring_.push(1), true) << "full"; }
//     TEST_P(Widths, Fit) { EXPECT_LT(GetParam(), 8); }
//     INSTANTIATE_TEST_SUITE_P(Small, Widths, testing::Values(1, 2, 4));
//     TYPED_TEST(Numbers, Zero) { EXPECT_EQ(TypeParam{}, TypeParam(0)); }
//
// A case is named "Suite.Name" ("Prefix/Suite.Name/0" for a parameter,
// "Suite/0.Name" for a type), as GoogleTest names it. EXPECT_EQ compares
// with ==, so two C strings compare as pointers, as under GoogleTest;
// EXPECT_STREQ compares their text. An ASSERT_ that fails returns from the
// function it is in, as GoogleTest's does, and one in SetUp() skips the
// test's body. What a suite may use beyond this set (death tests, mocks,
// matchers of its own, listeners) does not compile, rather than compiling to
// something else.
#ifndef ZKTEST_GTEST_H
#define ZKTEST_GTEST_H

#include "zktest_cases.h"
#include "zktest_checks.h"
#include "zktest_matchers.h"

// The standard headers GoogleTest's own header brings, which suites come to
// rely on without naming them.
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <limits>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace testing {

class Test {
public:
    virtual ~Test() = default;
    static void SetUpTestSuite() {}
    static void TearDownTestSuite() {}
    static void SetUpTestCase() {}
    static void TearDownTestCase() {}

protected:
    virtual void SetUp() {}
    virtual void TearDown() {}
};

template <class T> class WithParamInterface {
public:
    using ParamType = T;
    virtual ~WithParamInterface() = default;
    static const ParamType& GetParam() { return *static_cast<const ParamType*>(current_()); }
    // For the runner: the parameter of the case running on this thread.
    static const void*& current_() {
        static thread_local const void* parameter = nullptr;
        return parameter;
    }
};

template <class T> class TestWithParam : public Test, public WithParamInterface<T> {};

template <class... Ts> struct Types {};

// A generator's values, in a vector of the suite's parameter type.
template <class... Ts> struct ValueList_ {
    std::tuple<Ts...> values;
    template <class T> operator std::vector<T>() const {
        return std::apply([](const Ts&... each) { return std::vector<T>{static_cast<T>(each)...}; },
                          values);
    }
};
template <class... Ts> ValueList_<Ts...> Values(const Ts&... values) {
    return {std::tuple<Ts...>(values...)};
}
template <class Container> struct ValuesIn_ {
    Container values;
    template <class T> operator std::vector<T>() const {
        return std::vector<T>(std::begin(values), std::end(values));
    }
};
template <class Container> ValuesIn_<Container> ValuesIn(const Container& values) {
    return {values};
}
template <class T, std::size_t N> ValuesIn_<std::vector<T>> ValuesIn(const T (&values)[N]) {
    return {std::vector<T>(values, values + N)};
}
template <class T, class Step = T> ValuesIn_<std::vector<T>> Range(T begin, T end, Step step = 1) {
    std::vector<T> values;
    for (T value = begin; value < end; value = static_cast<T>(value + step))
        values.push_back(value);
    return {values};
}
inline ValueList_<bool, bool> Bool() {
    return Values(false, true);
}

inline void InitGoogleTest(int* argc, char** argv);
inline void InitGoogleTest();

} // namespace testing

namespace zktest {

// Set by a failed ASSERT_ on this thread: SetUp() that had one skips the body.
inline bool& gtestFatalFailure_() {
    static thread_local bool failed = false;
    return failed;
}
// `return AfterFailure_{} = check << message;` reports the check, then returns.
struct AfterFailure_ {
    void operator=(const Check&) const { gtestFatalFailure_() = true; }
};
struct SkipAfter_ {
    const char* file;
    int line;
    [[noreturn]] void operator=(const MessageBuilder& message) const {
        skipCase(file, line, message.text);
    }
};

// The test object: SetUp() before the body, TearDown() after it whatever
// happened, the body skipped when SetUp() failed an ASSERT_.
template <class Test> void gtestRun_(Test& test) {
    gtestFatalFailure_() = false;
    try {
        test.zktestSetUp_();
        if (!gtestFatalFailure_())
            test.TestBody();
    } catch (...) {
        test.zktestTearDown_();
        throw;
    }
    test.zktestTearDown_();
}

// A fixture's suite-wide set-up, once for all its tests, and only when the
// fixture has one of its own. `Test` is one of the fixture's tests, which
// may reach the fixture's protected members.
template <class Fixture> bool& gtestSuiteHooksDone_() {
    static bool done = false;
    return done;
}
template <class Fixture, class Test>
bool gtestSuiteHooks_(const char* suite, const char* file, int line) {
    if (!gtestSuiteHooksDone_<Fixture>() && Test::zktestOwnSuiteHooks_()) {
        registerHook(&Test::zktestSetUpSuite_, true, suite, file, line);
        registerHook(&Test::zktestTearDownSuite_, false, suite, file, line);
    }
    gtestSuiteHooksDone_<Fixture>() = true;
    return true;
}

// A test whose suite or name starts with DISABLED_ is hidden: it runs only
// when asked for (--gtest_also_run_disabled_tests, or a filter of zktest's).
inline const char* gtestTags_(const char* suite, const char* name) {
    const auto disabled = [](const char* text) { return std::strncmp(text, "DISABLED_", 9) == 0; };
    return disabled(suite) || disabled(name) ? "[.]" : nullptr;
}

// C strings, narrow or wide, by their text, null equal only to null;
// `blind` folds ASCII letters only, as GoogleTest's C-locale comparison does.
template <class Char> bool gtestSameText_(const Char* a, const Char* b, bool blind) {
    if (a == nullptr || b == nullptr)
        return a == b;
    const auto fold = [blind](Char c) {
        return blind && c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - 'A' + 'a') : c;
    };
    for (; *a != Char(0) && *b != Char(0); ++a, ++b)
        if (fold(*a) != fold(*b))
            return false;
    return *a == *b;
}
inline std::string gtestPrintable_(const char* text) {
    return text != nullptr ? text : "(null)";
}
// A wide string's ASCII as it is, anything else as '?'.
inline std::string gtestPrintable_(const wchar_t* text) {
    std::string out = text != nullptr ? "" : "(null)";
    for (; text != nullptr && *text != L'\0'; ++text)
        out += *text > 0 && *text < 128 ? static_cast<char>(*text) : '?';
    return out;
}
template <class Char>
Outcome gtestStrings_(const char* text, const Char* a, const Char* b, bool equal, bool blind) {
    if (gtestSameText_(a, b, blind) == equal)
        return {nullptr};
    Outcome outcome = textFailure(text);
    outcome.failure->append(" (");
    appendAny(*outcome.failure, gtestPrintable_(a));
    outcome.failure->append(" vs ");
    appendAny(*outcome.failure, gtestPrintable_(b));
    outcome.failure->append(")");
    return outcome;
}

// The parameterised tests of one fixture and where they are instantiated:
// the cases are made when the runner starts, whichever came first in the
// files.
template <class Fixture> struct ParamSuite_ {
    using Param = typename Fixture::ParamType;
    struct Pattern {
        const char* name;
        void (*run)(const Param&);
        const char* file;
        int line;
    };
    struct Instance {
        std::string prefix;
        std::vector<Param> values;
    };
    static std::vector<Pattern>& patterns() {
        static std::vector<Pattern> list;
        return list;
    }
    static std::vector<Instance>& instances() {
        static std::vector<Instance> list;
        return list;
    }
    static void runOne(::ZKQETest&, const void* context, std::size_t index) {
        const auto& pattern = *static_cast<const Pattern*>(context);
        const Instance* instance = nullptr;
        for (const Instance& each : instances())
            if (index < each.values.size()) {
                instance = &each;
                break;
            } else {
                index -= each.values.size();
            }
        pattern.run(instance->values[index]);
    }
    static void registerAll() {
        std::size_t first = 0;
        for (const Instance& instance : instances()) {
            const std::string suite = instance.prefix + "/" + suiteName();
            for (const Pattern& pattern : patterns())
                for (std::size_t i = 0; i < instance.values.size(); ++i)
                    registerCaseVariant(&runOne, &pattern, first + i, pattern.file, pattern.line,
                                        suite.c_str(), pattern.name,
                                        ("/" + std::to_string(i)).c_str());
            first += instance.values.size();
        }
    }
    static const char*& suiteName() {
        static const char* name = "";
        return name;
    }
    static bool addPattern(const char* suite, const Pattern& pattern) {
        suiteName() = suite;
        patterns().push_back(pattern);
        return true;
    }
    static bool addInstance(const char* suite, const char* prefix, std::vector<Param> values) {
        static const bool scheduled = registerLateCases(&registerAll);
        (void)scheduled;
        suiteName() = suite;
        instances().push_back({prefix, std::move(values)});
        return true;
    }
};

template <template <class> class Test, class... Ts>
bool gtestRegisterTyped_(::testing::Types<Ts...>, const char* suite, const char* name,
                         const char* file, int line) {
    std::size_t index = 0;
    ((registerCaseVariant(&Test<Ts>::zktestRun_, nullptr, index, file, line,
                          (std::string(suite) + "/" + std::to_string(index)).c_str(), name, ""),
      ++index),
     ...);
    return true;
}

} // namespace zktest

#define ZKTEST_GTEST_CLASS_(suite, name) suite##_##name##_Test
// What every generated test class adds to its fixture.
#define ZKTEST_GTEST_MEMBERS_(Class)                                                               \
    void TestBody();                                                                               \
    static void zktestRunOne_() {                                                                  \
        Class test;                                                                                \
        ::zktest::gtestRun_(test);                                                                 \
    }                                                                                              \
    void zktestSetUp_() {                                                                          \
        this->SetUp();                                                                             \
    }                                                                                              \
    void zktestTearDown_() {                                                                       \
        this->TearDown();                                                                          \
    }

#define ZKTEST_GTEST_TEST_(suite, name, Fixture)                                                   \
    class ZKTEST_GTEST_CLASS_(suite, name) : public Fixture {                                      \
    public:                                                                                        \
        ZKTEST_GTEST_MEMBERS_(ZKTEST_GTEST_CLASS_(suite, name))                                    \
        static bool zktestOwnSuiteHooks_() {                                                       \
            using Base = ::testing::Test;                                                          \
            return &Fixture::SetUpTestSuite != &Base::SetUpTestSuite ||                            \
                   &Fixture::SetUpTestCase != &Base::SetUpTestCase ||                              \
                   &Fixture::TearDownTestSuite != &Base::TearDownTestSuite ||                      \
                   &Fixture::TearDownTestCase != &Base::TearDownTestCase;                          \
        }                                                                                          \
        static void zktestSetUpSuite_() {                                                          \
            Fixture::SetUpTestSuite();                                                             \
            Fixture::SetUpTestCase();                                                              \
        }                                                                                          \
        static void zktestTearDownSuite_() {                                                       \
            Fixture::TearDownTestSuite();                                                          \
            Fixture::TearDownTestCase();                                                           \
        }                                                                                          \
        static void zktestRun_(::ZKQETest&) { zktestRunOne_(); }                                   \
    };                                                                                             \
    namespace {                                                                                    \
    const bool ZKTEST_CASES_CAT(ZKTEST_GTEST_CLASS_(suite, name), Registered_) =                   \
        ::zktest::registerSuiteCase(&ZKTEST_GTEST_CLASS_(suite, name)::zktestRun_, __FILE__,       \
                                    __LINE__, #suite, #name,                                       \
                                    ::zktest::gtestTags_(#suite, #name)) &&                        \
        ::zktest::gtestSuiteHooks_<Fixture, ZKTEST_GTEST_CLASS_(suite, name)>(#suite, __FILE__,    \
                                                                              __LINE__);           \
    }                                                                                              \
    void ZKTEST_GTEST_CLASS_(suite, name)::TestBody()

#define TEST(suite, name) ZKTEST_GTEST_TEST_(suite, name, ::testing::Test)
#define TEST_F(fixture, name) ZKTEST_GTEST_TEST_(fixture, name, fixture)

#define TEST_P(fixture, name)                                                                      \
    class ZKTEST_GTEST_CLASS_(fixture, name) : public fixture {                                    \
    public:                                                                                        \
        ZKTEST_GTEST_MEMBERS_(ZKTEST_GTEST_CLASS_(fixture, name))                                  \
        static void zktestRun_(const typename fixture::ParamType& parameter) {                     \
            fixture::current_() = &parameter;                                                      \
            zktestRunOne_();                                                                       \
        }                                                                                          \
    };                                                                                             \
    namespace {                                                                                    \
    const bool ZKTEST_CASES_CAT(ZKTEST_GTEST_CLASS_(fixture, name), Registered_) =                 \
        ::zktest::ParamSuite_<fixture>::addPattern(                                                \
            #fixture,                                                                              \
            {#name, &ZKTEST_GTEST_CLASS_(fixture, name)::zktestRun_, __FILE__, __LINE__});         \
    }                                                                                              \
    void ZKTEST_GTEST_CLASS_(fixture, name)::TestBody()

// The optional name generator of GoogleTest is not spoken: runs are named
// by their place.
#define INSTANTIATE_TEST_SUITE_P(prefix, fixture, generator)                                       \
    namespace {                                                                                    \
    const bool ZKTEST_CASES_CAT(zktestInstance_##prefix##_##fixture##_, __LINE__) =                \
        ::zktest::ParamSuite_<fixture>::addInstance(                                               \
            #fixture, #prefix, std::vector<typename fixture::ParamType>(generator));               \
    }
#define INSTANTIATE_TEST_CASE_P INSTANTIATE_TEST_SUITE_P

#define TYPED_TEST_SUITE(fixture, types, ...) using fixture##_zktestTypes_ = types
#define TYPED_TEST_CASE TYPED_TEST_SUITE
#define TYPED_TEST(fixture, name)                                                                  \
    template <class gtest_TypeParam_>                                                              \
    class ZKTEST_GTEST_CLASS_(fixture, name) : public fixture<gtest_TypeParam_> {                  \
    public:                                                                                        \
        using TypeParam = gtest_TypeParam_;                                                        \
        using TestFixture = fixture<gtest_TypeParam_>;                                             \
        ZKTEST_GTEST_MEMBERS_(ZKTEST_GTEST_CLASS_(fixture, name))                                  \
        static void zktestRun_(::ZKQETest&, const void*, std::size_t) { zktestRunOne_(); }         \
    };                                                                                             \
    namespace {                                                                                    \
    const bool ZKTEST_CASES_CAT(ZKTEST_GTEST_CLASS_(fixture, name), Registered_) =                 \
        ::zktest::gtestRegisterTyped_<ZKTEST_GTEST_CLASS_(fixture, name)>(                         \
            fixture##_zktestTypes_{}, #fixture, #name, __FILE__, __LINE__);                        \
    }                                                                                              \
    template <class gtest_TypeParam_>                                                              \
    void ZKTEST_GTEST_CLASS_(fixture, name)<gtest_TypeParam_>::TestBody()

// EXPECT_ goes on after a failure; ASSERT_ reports it, then returns from the
// function it is in (GoogleTest's own rule: that function returns void).
#define ZKTEST_GTEST_ASSERT_(check)                                                                \
    switch (0)                                                                                     \
    case 0:                                                                                        \
    default:                                                                                       \
        if (::zktest::Check&& zktestCheck_ = check; zktestCheck_)                                  \
            ;                                                                                      \
        else                                                                                       \
            return ::zktest::AfterFailure_{} = zktestCheck_

#define EXPECT_EQ(a, b) ZKQE_CHECK((a) == (b))
#define EXPECT_NE(a, b) ZKQE_CHECK((a) != (b))
#define EXPECT_LT(a, b) ZKQE_CHECK((a) < (b))
#define EXPECT_LE(a, b) ZKQE_CHECK((a) <= (b))
#define EXPECT_GT(a, b) ZKQE_CHECK((a) > (b))
#define EXPECT_GE(a, b) ZKQE_CHECK((a) >= (b))
#define EXPECT_TRUE(...) ZKQE_CHECK(__VA_ARGS__)
#define EXPECT_FALSE(...) ZKQE_CHECK_FALSE(__VA_ARGS__)
#define EXPECT_NEAR(a, b, margin) ZKQE_CHECK_NEAR(a, b, margin)
#define EXPECT_FLOAT_EQ(a, b) ZKQE_CHECK_FLOAT_EQ(a, b)
#define EXPECT_DOUBLE_EQ(a, b) ZKQE_CHECK_DOUBLE_EQ(a, b)
#define EXPECT_THROW(statement, type) ZKQE_CHECK_THROWS_AS(statement, type)
#define EXPECT_ANY_THROW(...) ZKQE_CHECK_THROWS(__VA_ARGS__)
#define EXPECT_NO_THROW(...) ZKQE_CHECK_NOTHROW(__VA_ARGS__)
#define ZKTEST_GTEST_STRINGS_(name, a, b, equal, blind)                                            \
    ::zktest::Check(ZKQE_RUNNING_TEST_, __FILE__, __LINE__, false, name "(" #a ", " #b ")",        \
                    ::zktest::gtestStrings_(name "(" #a ", " #b ")", a, b, equal, blind))
#define EXPECT_STREQ(a, b) ZKTEST_GTEST_STRINGS_("STREQ", a, b, true, false)
#define EXPECT_STRNE(a, b) ZKTEST_GTEST_STRINGS_("STRNE", a, b, false, false)
#define EXPECT_STRCASEEQ(a, b) ZKTEST_GTEST_STRINGS_("STRCASEEQ", a, b, true, true)
#define EXPECT_STRCASENE(a, b) ZKTEST_GTEST_STRINGS_("STRCASENE", a, b, false, true)

#define ASSERT_EQ(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_EQ(a, b))
#define ASSERT_NE(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_NE(a, b))
#define ASSERT_LT(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_LT(a, b))
#define ASSERT_LE(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_LE(a, b))
#define ASSERT_GT(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_GT(a, b))
#define ASSERT_GE(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_GE(a, b))
#define ASSERT_TRUE(...) ZKTEST_GTEST_ASSERT_(EXPECT_TRUE(__VA_ARGS__))
#define ASSERT_FALSE(...) ZKTEST_GTEST_ASSERT_(EXPECT_FALSE(__VA_ARGS__))
#define ASSERT_NEAR(a, b, margin) ZKTEST_GTEST_ASSERT_(EXPECT_NEAR(a, b, margin))
#define ASSERT_FLOAT_EQ(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_FLOAT_EQ(a, b))
#define ASSERT_DOUBLE_EQ(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_DOUBLE_EQ(a, b))
#define ASSERT_THROW(statement, type) ZKTEST_GTEST_ASSERT_(EXPECT_THROW(statement, type))
#define ASSERT_ANY_THROW(...) ZKTEST_GTEST_ASSERT_(EXPECT_ANY_THROW(__VA_ARGS__))
#define ASSERT_NO_THROW(...) ZKTEST_GTEST_ASSERT_(EXPECT_NO_THROW(__VA_ARGS__))
#define ASSERT_STREQ(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_STREQ(a, b))
#define ASSERT_STRNE(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_STRNE(a, b))
#define ASSERT_STRCASEEQ(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_STRCASEEQ(a, b))
#define ASSERT_STRCASENE(a, b) ZKTEST_GTEST_ASSERT_(EXPECT_STRCASENE(a, b))

#define ADD_FAILURE()                                                                              \
    ::zktest::Check(ZKQE_RUNNING_TEST_, __FILE__, __LINE__, false, "",                             \
                    ::zktest::textFailure("Failed"))
#define FAIL() ZKTEST_GTEST_ASSERT_(ADD_FAILURE())
#define SUCCEED()                                                                                  \
    ::zktest::Check(ZKQE_RUNNING_TEST_, __FILE__, __LINE__, false, "SUCCEED",                      \
                    ::zktest::Outcome{nullptr})
#define GTEST_SKIP() return ::zktest::SkipAfter_{__FILE__, __LINE__} = ::zktest::MessageBuilder()
#define SCOPED_TRACE(...) ZKQE_INFO(__VA_ARGS__)

// For a main of the suite's own: the command line is the runner's.
namespace zktest {
inline std::pair<int, char**>& gtestCommandLine_() {
    static std::pair<int, char**> line{0, nullptr};
    return line;
}
} // namespace zktest
inline void testing::InitGoogleTest(int* argc, char** argv) {
    ::zktest::gtestCommandLine_() = {*argc, argv};
}
inline void testing::InitGoogleTest() {}
#define RUN_ALL_TESTS()                                                                            \
    ::zktest::runCases(::zktest::gtestCommandLine_().first, ::zktest::gtestCommandLine_().second)

// The runner reads the framework's flags in every program that includes this.
[[maybe_unused]] static const bool zktestGtestFlags_ = ::zktest::speakDialect_(1);

#endif
