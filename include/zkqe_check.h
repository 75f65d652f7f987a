// SPDX-License-Identifier: MIT
// Assertion macros: the expression's own text becomes the assertion tag and
// the call site its file and line, so a failure block points at the check.
//
// Inside a test body (a member function of a class derived from ZKQETest):
//   ZKQE_CHECK(cond)            assertTrue with the text of cond
//   ZKQE_CHECK_ID(cond, id)     the same, with an identifier
//   ZKQE_CHECK_SMALL(value)     assertSmall against the object's threshold
//   ZKQE_CHECK_NEAR(a, b)       assertSmall of a - b, tagged "a - b"
// Anywhere else, the _ON forms take the test object first:
//   ZKQE_CHECK_ON(test, cond), ZKQE_CHECK_ID_ON(test, cond, id),
//   ZKQE_CHECK_SMALL_ON(test, value), ZKQE_CHECK_NEAR_ON(test, a, b)
//
// Each macro is one expression: it evaluates every argument exactly once,
// stands as a single statement after an `if` without braces, and yields the
// assertion's result (true when it passed).
#ifndef ZKQE_CHECK_H
#define ZKQE_CHECK_H

namespace zktest {
// Thrown by a failed ZKQE_REQUIRE form (zktest_checks.h) after its failure is
// reported; no std::exception, so user code's catch of those lets it pass.
// go() ends the test body on it in order, a case runner the case.
struct RequireAbort {};
} // namespace zktest

#define ZKQE_CHECK_ID_ON(test, cond, id)                                                           \
    ((test).assertTrue(#cond, __FILE__, __LINE__, static_cast<bool>(cond), (id)))
// Variadic, so a condition holding a braced list or template arguments
// needs no extra parentheses; the text is the same as for one argument.
#define ZKQE_CHECK_ON(test, ...)                                                                   \
    ((test).assertTrue(#__VA_ARGS__, __FILE__, __LINE__, static_cast<bool>(__VA_ARGS__), nullptr))
#define ZKQE_CHECK_SMALL_ON(test, value)                                                           \
    ((test).assertSmall(#value, __FILE__, __LINE__, static_cast<double>(value), nullptr))
#define ZKQE_CHECK_NEAR2_ON_(test, a, b)                                                           \
    ((test).assertSmall(#a " - " #b, __FILE__, __LINE__,                                           \
                        static_cast<double>(a) - static_cast<double>(b), nullptr))
#define ZKQE_CHECK_NEAR_ON(test, a, b) ZKQE_CHECK_NEAR2_ON_(test, a, b)

#define ZKQE_CHECK(...) ZKQE_CHECK_ON(*this, __VA_ARGS__)
#define ZKQE_CHECK_ID(cond, id) ZKQE_CHECK_ID_ON(*this, cond, id)
#define ZKQE_CHECK_SMALL(value) ZKQE_CHECK_SMALL_ON(*this, value)
// Through the _ON form, which zktest_checks.h widens to three arguments.
#define ZKQE_CHECK_NEAR(...) ZKQE_CHECK_NEAR_ON(*this, __VA_ARGS__)

#endif
