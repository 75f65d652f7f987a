// SPDX-License-Identifier: MIT
// Assertion macros: the expression's own text becomes the assertion tag and
// the call site its file and line, so a failure block points at the check.
//
// In any function, on any thread, while a test runs (its runTest, or a case):
//   ZKQE_CHECK(cond)            assertTrue with the text of cond
//   ZKQE_CHECK_ID(cond, id)     the same, with an identifier
//   ZKQE_CHECK_SMALL(value)     assertSmall against the test's threshold
//   ZKQE_CHECK_NEAR(a, b)       assertSmall of a - b, tagged "a - b"
// The running test is the one whose go() runs on the calling thread, else
// the first whose go() still runs in the process; a check while none runs
// ends the process with a message. The _ON forms take the test object first:
//   ZKQE_CHECK_ON(test, cond), ZKQE_CHECK_ID_ON(test, cond, id),
//   ZKQE_CHECK_SMALL_ON(test, value), ZKQE_CHECK_NEAR_ON(test, a, b)
//
// Each macro is one expression: it evaluates every argument exactly once,
// stands as a single statement after an `if` without braces, and yields the
// assertion's result (true when it passed). ZKQE_CHECK_NEAR with a third
// argument, a tolerance, is a value check, and with zktest_checks.h, which
// adds the other value checks, ZKQE_CHECK takes messages streamed after it
// (ZKQE_CHECK(ok) << "row " << i). This header needs only C++11.
#ifndef ZKQE_CHECK_H
#define ZKQE_CHECK_H

#include "internal/zktest_check_site.h"

// Variadic, so a condition holding a braced list or template arguments
// needs no extra parentheses; the failure text is the condition's text.
#define ZKQE_CHECK_ON(test, ...) ZKQE_TRUTH_CHECK_(ZKQE_CHECK_TARGET_(test), false, __VA_ARGS__)
#define ZKQE_CHECK_ID_ON(test, cond, id)                                                           \
    ((test).assertTrue(#cond, __FILE__, __LINE__, static_cast<bool>(cond), (id)))
#define ZKQE_CHECK_SMALL_ON(test, value)                                                           \
    ((test).assertSmall(#value, __FILE__, __LINE__, static_cast<double>(value), nullptr))
#define ZKQE_CHECK_NEAR_ON(test, ...)                                                              \
    ZKQE_CHECKS_CAT(ZKQE_CHECKS_NEAR_, ZKQE_CHECKS_COUNT_(__VA_ARGS__))(test, __VA_ARGS__)

#define ZKQE_CHECK(...) ZKQE_TRUTH_CHECK_(ZKQE_RUNNING_TEST_, false, __VA_ARGS__)
#define ZKQE_CHECK_ID(cond, id) ZKQE_CHECK_ID_ON(ZKQE_RUNNING_TEST_, cond, id)
#define ZKQE_CHECK_SMALL(value) ZKQE_CHECK_SMALL_ON(ZKQE_RUNNING_TEST_, value)
#define ZKQE_CHECK_NEAR(...) ZKQE_CHECK_NEAR_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)

#endif
