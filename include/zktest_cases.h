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
#ifndef ZKTEST_CASES_H
#define ZKTEST_CASES_H

#include "zkqe_export.h"
#include "zktest_checks.h"

#include <string>
#include <type_traits>
#include <utility>

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
// (Bazel) names one, else the system's temporary folder.
ZKQE_API std::string tempDir();
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

inline std::string suitePath_(const char* outer, const char* name) {
    return outer != nullptr ? std::string(outer) + "." + name : std::string(name);
}

// A fixture's setUp() and tearDown(), when it has them, around each run of a
// body: tearDown() also after a fatal check, an exception or a skip, so that
// what setUp() took is given back; a fatal check in setUp() skips the body.
template <class Case, class = void> struct HasSetUp_ : std::false_type {};
template <class Case>
struct HasSetUp_<Case, std::void_t<decltype(std::declval<Case&>().setUp())>> : std::true_type {};
template <class Case, class = void> struct HasTearDown_ : std::false_type {};
template <class Case>
struct HasTearDown_<Case, std::void_t<decltype(std::declval<Case&>().tearDown())>>
    : std::true_type {};

template <class Case> void runCaseBody_(Case& body) {
    if constexpr (HasTearDown_<Case>::value) {
        try {
            if constexpr (HasSetUp_<Case>::value)
                body.setUp();
            body.zktestCaseBody_();
        } catch (...) {
            body.tearDown();
            throw;
        }
        body.tearDown();
    } else {
        if constexpr (HasSetUp_<Case>::value)
            body.setUp();
        body.zktestCaseBody_();
    }
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

#define ZKTEST_CASE_WITH_BASE_(id, bases, ...)                                                     \
    namespace {                                                                                    \
    struct id : bases {                                                                            \
        void zktestCaseBody_();                                                                    \
        static void zktestRun_(::ZKQETest& runner) {                                               \
            id body;                                                                               \
            body.attachRunner_(runner);                                                            \
            ::zktest::runCaseBody_(body);                                                          \
        }                                                                                          \
    };                                                                                             \
    const bool ZKTEST_CASES_CAT(id, Registered_) = ::zktest::registerSuiteCase(&id::zktestRun_,    \
                                                                               __FILE__, __LINE__, \
                                                                               zktestSuiteName_(), \
                                                                               __VA_ARGS__);       \
    }                                                                                              \
    void id::zktestCaseBody_()

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

// ZKTEST_SUITE("ring") { cases } groups the cases in its braces: each is
// named "ring.name", and JUnit files list them under the suite. A suite inside
// another adds to its name: "ring.full.name".
#define ZKTEST_SUITE(name) ZKTEST_SUITE_(ZKTEST_CASES_CAT(ZktestSuite_, __COUNTER__), name)
#define ZKTEST_SUITE_(id, name)                                                                    \
    namespace id {                                                                                 \
    [[maybe_unused]] static const char* const zktestOuterSuite_ = zktestSuiteName_();              \
    [[maybe_unused]] static const char* zktestSuiteName_() {                                       \
        static const std::string path = ::zktest::suitePath_(zktestOuterSuite_, name);             \
        return path.c_str();                                                                       \
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

// ZKQE_SKIP("no network here"): ends the case, in any function it calls.
#define ZKQE_SKIP(...) ::zktest::skipCase(__FILE__, __LINE__, __VA_ARGS__)

#define ZKTEST_SECTION(...)                                                                        \
    if (const ::zktest::Section ZKTEST_CASES_CAT(zktestSection_, __COUNTER__){__FILE__, __LINE__,  \
                                                                              __VA_ARGS__})

#endif
