// SPDX-License-Identifier: MIT
// Test cases and sections: many small tests in one program, run by one
// ZKQETest, so each gets the report, status file, alarm and crash guard.
//
//     ZKTEST_CASE("ring starts empty", "[ring][fast]") {
//         Ring ring;
//         ZKQE_CHECK(ring.empty());
//         ZKTEST_SECTION("after a push") {
//             ring.push(1);
//             ZKQE_CHECK_EQ(ring.size(), 1u);
//         }
//         ZKTEST_SECTION("after a clear") {
//             ring.clear();
//             ZKQE_CHECK(ring.empty());
//         }
//     }
//     ZKTEST_CASE_FIXTURE(RingFixture, "a full ring refuses a push") { ... }
//
// A case registers itself from any file of the program; link zktest::main
// for a main(), or call zktest::runCases(argc, argv) from your own. A case
// body is a member function of a class derived from zktest::CaseContext,
// whose test() is the runner, for the rest of ZKQETest's interface; the
// ZKQE_CHECK family needs no object and works in any function the case
// calls, a fixture's constructor included.
//
// Sections: a case runs once per leaf section, from its start, entering one
// leaf on each run and the sections on the way to it; the code around the
// sections runs every time, as a shared set-up. A fixture is built before
// each run and destroyed after it, its setUp() and tearDown() called around
// the body when it has them.
//
// Cases and sections run on the thread that calls runCases; checks may come
// from any thread, as in a ZKQETest.
//
// ZKQE_CHECK_DEATH(statement) and ZKQE_CHECK_EXIT(statement, status), and
// their REQUIRE forms, run the statement in a child process and judge how it
// ended (see internal/zktest_death_checks.h): a case's death checks are
// numbered, so that on Windows, which cannot fork, the program started again
// runs the same case to the same check.
#ifndef ZKTEST_CASES_H
#define ZKTEST_CASES_H

#include "zkqe_export.h"
#include "zktest_checks.h"
#include "internal/zktest_death_checks.h"

#include <cstddef>
#include <initializer_list>
#include <iosfwd>
#include <new>

// The runner's own header is left out, so that a file of cases compiles
// quickly: include zktest.h to use test()'s interface beyond the checks.
class ZKQETest;

namespace zktest {

// What a case body sees as *this: the running test, for the _ON forms, and
// test(), the runner.
class ZKQE_API CaseContext : public RunningTest {
public:
    ZKQETest& test() const { return *test_; }

    // For the case macros: set before the body runs.
    void attachRunner_(ZKQETest& test) { test_ = &test; }

private:
    ZKQETest* test_ = nullptr;
};

using CaseFunction = void (*)(ZKQETest& runner);

// Registers a case; the result only lets the macros call it at static
// initialisation. `tags` is a list such as "[io][slow]", or null.
ZKQE_API bool registerCase(CaseFunction run, const char* file, int line, const char* name,
                           const char* tags = nullptr);
// The same for a case of a suite: its name is "suite.name" wherever a case is
// named (filters, listings, the report), so it need only be unique within its
// suite; null or "" for no suite.
ZKQE_API bool registerSuiteCase(CaseFunction run, const char* file, int line, const char* suite,
                                const char* name, const char* tags = nullptr);

// One of a family of cases: a run of a case over a list of values or types,
// `index` its place in the list, `context` what the family keeps.
using CaseVariantFunction = void (*)(ZKQETest& runner, const void* context, std::size_t index);
// Registers one case of a family, named `name` followed by `variant` ("/2",
// "<int>").
ZKQE_API bool registerCaseVariant(CaseVariantFunction run, const void* context, std::size_t index,
                                  const char* file, int line, const char* suite, const char* name,
                                  const char* variant, const char* tags = nullptr);
// Entry `index` of a type list as written, "(int, std::pair<int, long>)",
// without its spaces at either end.
ZKQE_API std::string typeListEntry_(const char* list, std::size_t index);
// Registers the case of a family over a type list named by entry `index`
// of the list ("name<int>"), or over values by its place ("name/2"); the
// names are made in the library, so that a file of cases needs no <string>.
ZKQE_API bool registerTypeVariant_(CaseVariantFunction run, std::size_t index, const char* list,
                                   const char* file, int line, const char* suite, const char* name,
                                   const char* tags = nullptr);
ZKQE_API bool registerValueVariant_(CaseVariantFunction run, const void* context, std::size_t index,
                                    const char* file, int line, const char* suite, const char* name,
                                    const char* tags = nullptr);
// The name a declaration "const Shape& shape" declares: "shape", kept for
// the program's life.
ZKQE_API const char* declaredName_(const char* declaration);

// Registers a function that registers cases when the runner starts, for
// cases that can only be made once every file has registered its part (a
// parameterised test and its instantiations).
ZKQE_API bool registerLateCases(void (*registerCases)());

// For the headers that speak other frameworks' macros: the runner reads that
// framework's flags too (1 GoogleTest, 2 Catch2, 4 doctest).
ZKQE_API bool speakDialect_(unsigned dialect);

using HookFunction = void (*)();
// Registers a ZKTEST_BEFORE_ALL (`before`) or ZKTEST_AFTER_ALL hook of
// `suite` (null: of the program).
ZKQE_API bool registerHook(HookFunction run, bool before, const char* suite, const char* file,
                           int line);

// Runs the cases the command line selects (see the guide for --list,
// --filter and the rest; the single-letter flags of ZKQETest keep their
// meaning) and returns the process's exit status.
ZKQE_API int runCases(int argc, char** argv);

// The folder for a test's scratch files: TEST_TMPDIR when a test driver
// (Bazel) names one, else the system's temporary folder. Include <string> to
// call it: this header leaves <string> out, which is most of what a file of
// cases would otherwise cost to compile.
ZKQE_API std::string tempDir();
// What ends a case's every run at once: none of its other sections runs,
// as doctest ends a test case at a fatal failure. Thrown after the failure
// is reported (by the doctest-speaking header).
struct EndCase {};
// What ZKQE_SKIP throws: the case ends as skipped, counted apart from those
// that passed or failed (a case that failed a check before stays failed).
// No std::exception, so a catch of those in the code under test lets it by.
struct SkipCase {};
// Names the skip on standard error, then throws SkipCase.
[[noreturn]] ZKQE_API void skipCase(const char* file, int line, const char* why);
template <class Text,
          class = decltype(static_cast<const char*>(static_cast<const Text*>(nullptr)->c_str()))>
[[noreturn]] void skipCase(const char* file, int line, const Text& why) {
    skipCase(file, line, why.c_str());
}

// Which of `count` values a ZKTEST_GENERATE on `line` gives on this run.
ZKQE_API std::size_t generatedIndex_(int line, std::size_t count);
template <class T> T generate_(int line, std::initializer_list<T> values) {
    return values.begin()[generatedIndex_(line, values.size())];
}

// One ZKTEST_SECTION: entered on this run or skipped.
class ZKQE_API Section {
public:
    Section(const char* file, int line, const char* name);
    // A name built at run time: a std::string, or any text with c_str().
    template <class Text, class = decltype(static_cast<const char*>(
                              static_cast<const Text*>(nullptr)->c_str()))>
    Section(const char* file, int line, const Text& name) : Section(file, line, name.c_str()) {}
    ~Section();
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;
    explicit operator bool() const { return entered_; }

private:
    bool entered_;
    int uncaughtAtEntry_;
};

// "outer.name", or `name` outside every suite; kept for the program's life.
ZKQE_API const char* suitePath_(const char* outer, const char* name);

// A fixture's setUp() and tearDown(), when it has them, around each run of a
// body: tearDown() also after a fatal check, an exception or a skip, so that
// what setUp() took is given back; a fatal check in setUp() skips the body.
template <class Case, class = void> struct HasSetUp_ : detail::False {};
template <class Case>
struct HasSetUp_<Case, detail::VoidT<decltype(detail::declval<Case&>().setUp())>> : detail::True {};
template <class Case, class = void> struct HasTearDown_ : detail::False {};
template <class Case>
struct HasTearDown_<Case, detail::VoidT<decltype(detail::declval<Case&>().tearDown())>>
    : detail::True {};

// The body is called here, not through a lambda: one class and one function
// fewer to compile for every case of a file.
template <class Case, class... Value> void runCaseBody_(Case& fixture, const Value&... value) {
    if constexpr (HasTearDown_<Case>::value) {
        try {
            if constexpr (HasSetUp_<Case>::value)
                fixture.setUp();
            fixture.zktestCaseBody_(value...);
        } catch (...) {
            fixture.tearDown();
            throw;
        }
        fixture.tearDown();
    } else {
        if constexpr (HasSetUp_<Case>::value)
            fixture.setUp();
        fixture.zktestCaseBody_(value...);
    }
}

template <class Case> void runTypedCase_(::ZKQETest& runner, const void*, std::size_t) {
    Case body;
    body.attachRunner_(runner);
    runCaseBody_(body);
}

template <class Case, class... Types>
bool registerTypedCases_(const char* list, const char* file, int line, const char* suite,
                         const char* name, const char* tags = nullptr) {
    std::size_t index = 0;
    ((registerTypeVariant_(&runTypedCase_<typename Case::template Of<Types>>, index, list, file,
                           line, suite, name, tags),
      ++index),
     ...);
    return true;
}

// A family's values, copied once at registration and kept for the program's
// life, as its cases are; no standard container, so that a file of cases
// compiles quickly.
template <class Value> struct ValueFamily_ {
    template <class List> ValueFamily_(const List& list, const char* name) : parameter(name) {
        for (const auto& value : list)
            (void)value, ++size;
        Value* copies = static_cast<Value*>(::operator new(sizeof(Value) * (size + 1)));
        std::size_t at = 0;
        for (const auto& value : list)
            new (copies + at++) Value(value);
        values = copies;
    }
    const Value* values = nullptr;
    std::size_t size = 0;
    const char* parameter;
};

// Each run shows its value beside any failure, as ZKQE_CAPTURE would.
template <class Case, class Value>
void runValueCase_(::ZKQETest& runner, const void* context, std::size_t index) {
    const auto& family = *static_cast<const ValueFamily_<Value>*>(context);
    const Value& value = family.values[index];
    const InfoScope shown(captured(family.parameter, value));
    Case body;
    body.attachRunner_(runner);
    runCaseBody_(body, value);
}

template <class Case, class Value, class List>
bool registerValueFamily_(const List& list, const char* declaration, const char* file, int line,
                          const char* suite, const char* name, const char* tags = nullptr) {
    // One family per case: Case is the case's own class.
    static const ValueFamily_<Value> family(list, declaredName_(declaration));
    for (std::size_t i = 0; i < family.size; ++i)
        registerValueVariant_(&runValueCase_<Case, Value>, &family, i, file, line, suite, name,
                              tags);
    return true;
}
// The type of a parameter's values: "const std::string&" holds std::string.
template <class T> struct ParameterValue_ { using type = detail::DecayT<T>; };
template <class T> struct ParameterValue_<T&> : ParameterValue_<T> {};
template <class T> struct ParameterValue_<T&&> : ParameterValue_<T> {};
template <class Case, class Parameter, class List>
bool registerValueCases_(void (Case::*)(Parameter), const List& list, const char* declaration,
                         const char* file, int line, const char* suite, const char* name,
                         const char* tags = nullptr) {
    return registerValueFamily_<Case, typename ParameterValue_<Parameter>::type>(
        list, declaration, file, line, suite, name, tags);
}
template <class Case, class Parameter>
bool registerValueCases_(void (Case::*)(Parameter),
                         std::initializer_list<typename ParameterValue_<Parameter>::type> list,
                         const char* declaration, const char* file, int line, const char* suite,
                         const char* name, const char* tags = nullptr) {
    return registerValueFamily_<Case, typename ParameterValue_<Parameter>::type>(
        list, declaration, file, line, suite, name, tags);
}

} // namespace zktest

// Outside every ZKTEST_SUITE a case has no suite; inside one, the suite's own
// zktestSuiteName_ hides this one. Internal linkage, so the suites of two
// files never meet.
[[maybe_unused]] static const char* zktestSuiteName_() {
    return nullptr;
}

#define ZKTEST_CASES_CAT_(a, b) a##b
#define ZKTEST_CASES_CAT(a, b) ZKTEST_CASES_CAT_(a, b)

// `registrar` is called as registerSuiteCase is: the headers that speak other
// frameworks' macros read their case names their own way. `bases` in
// parentheses.
#define ZKTEST_CASE_REGISTERED_(id, bases, registrar, ...)                                         \
    namespace {                                                                                    \
    struct id : ZKTEST_UNPAREN_ bases {                                                            \
        void zktestCaseBody_();                                                                    \
        static void zktestRun_(::ZKQETest& runner) {                                               \
            id body;                                                                               \
            body.attachRunner_(runner);                                                            \
            ::zktest::runCaseBody_(body);                                                          \
        }                                                                                          \
    };                                                                                             \
    const bool ZKTEST_CASES_CAT(id, Registered_) = registrar(&id::zktestRun_, __FILE__, __LINE__,  \
                                                             zktestSuiteName_(), __VA_ARGS__);     \
    }                                                                                              \
    void id::zktestCaseBody_()
#define ZKTEST_CASE_WITH_BASE_(id, bases, ...)                                                     \
    ZKTEST_CASE_REGISTERED_(id, (bases), ::zktest::registerSuiteCase, __VA_ARGS__)

// ZKTEST_CASE("name") or ZKTEST_CASE("name", "[tag]...") { body }
#define ZKTEST_CASE(...)                                                                           \
    ZKTEST_CASE_WITH_BASE_(ZKTEST_CASES_CAT(ZktestCase_, __COUNTER__), ::zktest::CaseContext,      \
                           __VA_ARGS__)
// The fixture is default-constructed before each run of the body and
// destroyed after it; its members are the body's. Its setUp() and tearDown(),
// if it has them, are called around the body (see runCaseBody_).
#define ZKTEST_CASE_FIXTURE(Fixture, ...)                                                          \
    ZKTEST_CASE_WITH_BASE_(ZKTEST_CASES_CAT(ZktestCase_, __COUNTER__),                             \
                           Fixture ZKTEST_CASES_COMMA_ ::zktest::CaseContext, __VA_ARGS__)
#define ZKTEST_CASES_COMMA_ ,

#define ZKTEST_UNPAREN_(...) __VA_ARGS__

// ZKTEST_CASE_VALUES(int width, ({1, 2, 4}), "name", "[tags]") { body }: one
// case per value, "name/0", "name/1"..., the body's parameter declared as
// given; the values in parentheses, a braced list or any container.
#define ZKTEST_CASE_VALUES(declaration, values, ...)                                               \
    ZKTEST_CASE_VALUES_(ZKTEST_CASES_CAT(ZktestCase_, __COUNTER__), declaration, values,           \
                        __VA_ARGS__)
#define ZKTEST_CASE_VALUES_(id, declaration, values, ...)                                          \
    namespace {                                                                                    \
    struct id : ::zktest::CaseContext {                                                            \
        void zktestCaseBody_(declaration);                                                         \
    };                                                                                             \
    const bool ZKTEST_CASES_CAT(id, Registered_) =                                                 \
        ::zktest::registerValueCases_(&id::zktestCaseBody_, ZKTEST_UNPAREN_ values, #declaration,  \
                                      __FILE__, __LINE__, zktestSuiteName_(), __VA_ARGS__);        \
    }                                                                                              \
    void id::zktestCaseBody_(declaration)

// ZKTEST_CASE_TYPES(T, (int, long), "name", "[tags]") { body }: one case per
// type, "name<int>", "name<long>", T that type in the body.
#define ZKTEST_CASE_TYPES(T, types, ...)                                                           \
    ZKTEST_CASE_TYPES_(ZKTEST_CASES_CAT(ZktestCase_, __COUNTER__), T, types, __VA_ARGS__)
#define ZKTEST_CASE_TYPES_(id, T, types, ...)                                                      \
    ZKTEST_CASE_TYPES_REGISTERED_(id, T, types, ::zktest::registerTypedCases_, __VA_ARGS__)
#define ZKTEST_CASE_TYPES_REGISTERED_(id, T, types, registrar, ...)                                \
    namespace {                                                                                    \
    struct id {                                                                                    \
        template <class T> struct Of : ::zktest::CaseContext { void zktestCaseBody_(); };          \
    };                                                                                             \
    const bool ZKTEST_CASES_CAT(id, Registered_) = registrar<id, ZKTEST_UNPAREN_ types>(           \
        #types, __FILE__, __LINE__, zktestSuiteName_(), __VA_ARGS__);                              \
    }                                                                                              \
    template <class T> void id::Of<T>::zktestCaseBody_()

// ZKTEST_SUITE("ring") { cases } groups the cases in its braces: each is
// named "ring.name", and JUnit files list them under the suite. A suite inside
// another adds to its name: "ring.full.name".
#define ZKTEST_SUITE(name) ZKTEST_SUITE_(ZKTEST_CASES_CAT(ZktestSuite_, __COUNTER__), name)
#define ZKTEST_SUITE_(id, name)                                                                    \
    namespace id {                                                                                 \
    [[maybe_unused]] static const char* const zktestOuterSuite_ = zktestSuiteName_();              \
    [[maybe_unused]] static const char* zktestSuiteName_() {                                       \
        static const char* const path = ::zktest::suitePath_(zktestOuterSuite_, name);             \
        return path;                                                                               \
    }                                                                                              \
    }                                                                                              \
    namespace id

// ZKTEST_BEFORE_ALL { ... } runs once before the first case of its suite (or,
// outside every suite, of the program) that the run selects, and
// ZKTEST_AFTER_ALL { ... } once after the last; neither runs when no case of
// theirs does. Checks work in both. A before-all hook that fails leaves its
// cases failed without running them; its after-all hooks still run.
#define ZKTEST_BEFORE_ALL ZKTEST_HOOK_(ZKTEST_CASES_CAT(zktestHook_, __COUNTER__), true)
#define ZKTEST_AFTER_ALL ZKTEST_HOOK_(ZKTEST_CASES_CAT(zktestHook_, __COUNTER__), false)
#define ZKTEST_HOOK_(id, before)                                                                   \
    static void id();                                                                              \
    namespace {                                                                                    \
    const bool ZKTEST_CASES_CAT(id, Registered_) = ::zktest::registerHook(&id, before,             \
                                                                          zktestSuiteName_(),      \
                                                                          __FILE__, __LINE__);     \
    }                                                                                              \
    static void id()

// const int width = ZKTEST_GENERATE(1, 2, 4); the case runs once per value,
// the rest of the body (and the sections after it) with each; the step tag
// names the value's place, "[2]". On the runner's thread, one per line.
#define ZKTEST_GENERATE(...) ::zktest::generate_(__LINE__, {__VA_ARGS__})

// ZKQE_SKIP("no network here"): ends the case, in any function it calls.
#define ZKQE_SKIP(...) ::zktest::skipCase(__FILE__, __LINE__, __VA_ARGS__)

#define ZKTEST_SECTION(...)                                                                        \
    if (const ::zktest::Section ZKTEST_CASES_CAT(zktestSection_, __COUNTER__){__FILE__, __LINE__,  \
                                                                              __VA_ARGS__})

#endif
