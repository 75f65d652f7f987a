// SPDX-License-Identifier: MIT
// Not an interface: machinery that the death checks of zktest_cases.h
// expand to, reached only through that header. Anything here may change or
// go without notice.
//
// ZKQE_CHECK_DEATH(statement) and ZKQE_CHECK_DEATH(statement, "text") pass
// when the statement, run in a child process, ends it abnormally (a fatal
// signal, abort(), a fault or an exception nothing catches), with "text"
// anywhere in what the child wrote to standard error: a plain substring,
// which reads the same on every platform and needs no escaping of the
// characters a regular expression would take for its own.
// ZKQE_CHECK_EXIT(statement, status) and ZKQE_CHECK_EXIT(statement, status,
// "text") pass when the child exits with exactly that status. A statement
// that returns fails both; ZKQE_REQUIRE_DEATH and ZKQE_REQUIRE_EXIT end the
// case on failure, as every REQUIRE form does. They belong on the case's
// own thread: a case's death checks are numbered in the order they run.
// Failures read:
//
//   DEATH(f()): it returned
//   EXIT(g(), 3): exited with 1
//   EXIT(g(), 3): died of Access Violation
//   DEATH(f(), "boom"): standard error did not contain "boom": "bang\n"
#ifndef ZKTEST_INTERNAL_DEATH_CHECKS_H
#define ZKTEST_INTERNAL_DEATH_CHECKS_H

#include "zkqe_export.h"
#include "internal/zktest_value_checks.h"

namespace zktest {

struct DeathExpectation {
    const char* kind;      // "DEATH" or "EXIT"
    const char* arguments; // as written
    const char* pattern;   // null: any standard error
    bool exits;            // EXIT: an exit with `status`
    int status;
};

// Runs `statement` through `run` in a child and judges its end.
ZKQE_API Outcome deathOutcome(const DeathExpectation& expected, void (*run)(void*),
                              void* statement);

template <class F> void runDeathStatement_(void* statement) {
    (*static_cast<F*>(statement))();
}
template <class F> Outcome deathCheck_(const DeathExpectation& expected, F statement) {
    return deathOutcome(expected, &runDeathStatement_<F>, &statement);
}

} // namespace zktest

#define ZKQE_DEATH_BODY_(test, fatal, kind, text, exits, status, pattern, statement)               \
    ::zktest::Check(                                                                               \
        ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, kind "(" text ")",                    \
        ::zktest::deathCheck_({kind, text, pattern, exits, status}, [&]() { statement; }))
#define ZKQE_DEATH_1_(test, fatal, text, statement)                                                \
    ZKQE_DEATH_BODY_(test, fatal, "DEATH", text, false, 0, nullptr, statement)
#define ZKQE_DEATH_2_(test, fatal, text, statement, pattern)                                       \
    ZKQE_DEATH_BODY_(test, fatal, "DEATH", text, false, 0, pattern, statement)
#define ZKQE_EXIT_2_(test, fatal, text, statement, status)                                         \
    ZKQE_DEATH_BODY_(test, fatal, "EXIT", text, true, static_cast<int>(status), nullptr, statement)
#define ZKQE_EXIT_3_(test, fatal, text, statement, status, pattern)                                \
    ZKQE_DEATH_BODY_(test, fatal, "EXIT", text, true, static_cast<int>(status), pattern, statement)
#define ZKQE_DEATH_ON_(form, test, fatal, ...)                                                     \
    ZKQE_CHECKS_CALL_(ZKQE_CHECKS_CAT(ZKQE_CHECKS_CAT(form, ZKQE_CHECKS_COUNT_(__VA_ARGS__)), _),  \
                      (test, fatal, #__VA_ARGS__, __VA_ARGS__))

#define ZKQE_CHECK_DEATH(...) ZKQE_DEATH_ON_(ZKQE_DEATH_, ZKQE_RUNNING_TEST_, false, __VA_ARGS__)
#define ZKQE_REQUIRE_DEATH(...) ZKQE_DEATH_ON_(ZKQE_DEATH_, ZKQE_RUNNING_TEST_, true, __VA_ARGS__)
#define ZKQE_CHECK_EXIT(...) ZKQE_DEATH_ON_(ZKQE_EXIT_, ZKQE_RUNNING_TEST_, false, __VA_ARGS__)
#define ZKQE_REQUIRE_EXIT(...) ZKQE_DEATH_ON_(ZKQE_EXIT_, ZKQE_RUNNING_TEST_, true, __VA_ARGS__)

#endif
