// SPDX-License-Identifier: MIT
// Value checks, exception checks, fatal checks and messages. On failure each
// writes, as the assertion tag, the check's text and the values it saw:
//
//   ZKQE_CHECK_EQ(size(), 3)          size() == 3 (2 vs 3)
//   ZKQE_CHECK_NEAR(x, 1.0, 1e-9)     NEAR(x, 1.0, 1e-9): 1.5 vs 1, off by 0.5
//   ZKQE_CHECK_THROWS_AS(f(), E)      THROWS_AS(f(), E): nothing thrown
//   ZKQE_CHECK_NOTHROW(g())           NOTHROW(g()): threw std::logic_error: "bad"
//   ZKQE_CHECK(ok) << "row " << i     ok | row 4
//   with ZKQE_INFO("file " << name)   ok | file "a.txt"
//   with ZKQE_CAPTURE(row, name)      ok | row := 4, name := "a.txt"
//
// EQ NE LT LE GT GE compare with the operator their name says, C strings by
// content and integers of mixed signedness by value; every macro has a
// ZKQE_REQUIRE_ form that, on failure, ends the case or section it is in
// (or the test body) by throwing zktest::RequireAbort, which is no
// std::exception, so user code's catch of those does not swallow it. Each
// macro reports to the running test, as ZKQE_CHECK does, so it works in any
// function a test calls; each has an _ON form taking the test object first, is variadic (braced
// lists and template arguments need no extra parentheses), evaluates each
// argument once, and yields whether it passed. A passing check formats
// nothing; messages are built only when it fails.
//
// Values print as a developer reads them: integers, floating point in the
// shortest form that reads back the same, bool, characters and strings
// quoted and escaped, pointers, enums as numbers, containers element-wise,
// other types through their operator<< or as their size. Control characters
// and line breaks are always escaped, so a value never breaks a report's
// line structure, and two long values are cut around their first difference.
#ifndef ZKTEST_CHECKS_H
#define ZKTEST_CHECKS_H

// Said here, before a template deep inside fails to compile for it.
#if __cplusplus < 201703L && (!defined(_MSVC_LANG) || _MSVC_LANG < 201703L)
#error "zktest_checks.h needs C++17 or newer (zktest.h alone needs C++11)"
#endif

// ZKQE_CHECK, ZKQE_CHECK_ID, ZKQE_CHECK_SMALL and ZKQE_CHECK_NEAR; with the
// value printer below, ZKQE_CHECK takes messages too.
#include "zkqe_check.h"
#include "internal/zktest_value_checks.h"

#define ZKQE_CHECK_EQ_ON(test, ...) ZKQE_VALUE_CHECK_(test, false, eq, __VA_ARGS__)
#define ZKQE_CHECK_NE_ON(test, ...) ZKQE_VALUE_CHECK_(test, false, ne, __VA_ARGS__)
#define ZKQE_CHECK_LT_ON(test, ...) ZKQE_VALUE_CHECK_(test, false, lt, __VA_ARGS__)
#define ZKQE_CHECK_LE_ON(test, ...) ZKQE_VALUE_CHECK_(test, false, le, __VA_ARGS__)
#define ZKQE_CHECK_GT_ON(test, ...) ZKQE_VALUE_CHECK_(test, false, gt, __VA_ARGS__)
#define ZKQE_CHECK_GE_ON(test, ...) ZKQE_VALUE_CHECK_(test, false, ge, __VA_ARGS__)
#define ZKQE_REQUIRE_EQ_ON(test, ...) ZKQE_VALUE_CHECK_(test, true, eq, __VA_ARGS__)
#define ZKQE_REQUIRE_NE_ON(test, ...) ZKQE_VALUE_CHECK_(test, true, ne, __VA_ARGS__)
#define ZKQE_REQUIRE_LT_ON(test, ...) ZKQE_VALUE_CHECK_(test, true, lt, __VA_ARGS__)
#define ZKQE_REQUIRE_LE_ON(test, ...) ZKQE_VALUE_CHECK_(test, true, le, __VA_ARGS__)
#define ZKQE_REQUIRE_GT_ON(test, ...) ZKQE_VALUE_CHECK_(test, true, gt, __VA_ARGS__)
#define ZKQE_REQUIRE_GE_ON(test, ...) ZKQE_VALUE_CHECK_(test, true, ge, __VA_ARGS__)

#define ZKQE_REQUIRE_ON(test, ...) ZKQE_TRUTH_CHECK_(ZKQE_CHECK_TARGET_(test), true, __VA_ARGS__)
#define ZKQE_CHECK_FALSE_ON(test, ...) ZKQE_FALSITY_CHECK_(test, false, __VA_ARGS__)
#define ZKQE_REQUIRE_FALSE_ON(test, ...) ZKQE_FALSITY_CHECK_(test, true, __VA_ARGS__)
#define ZKQE_REQUIRE_NEAR_ON(test, ...) ZKQE_NEAR3_ON_(test, true, __VA_ARGS__)

#define ZKQE_CHECK_THROWS_ON(test, ...) ZKQE_THROWS_ON_(test, false, __VA_ARGS__)
#define ZKQE_REQUIRE_THROWS_ON(test, ...) ZKQE_THROWS_ON_(test, true, __VA_ARGS__)
#define ZKQE_CHECK_NOTHROW_ON(test, ...) ZKQE_NOTHROW_ON_(test, false, __VA_ARGS__)
#define ZKQE_REQUIRE_NOTHROW_ON(test, ...) ZKQE_NOTHROW_ON_(test, true, __VA_ARGS__)
// THROWS_AS(expression, type): the type is the last argument, so the
// expression may hold commas of its own.
#define ZKQE_CHECK_THROWS_AS_ON(test, ...) ZKQE_THROWS_AS_ON_(test, false, __VA_ARGS__)
#define ZKQE_REQUIRE_THROWS_AS_ON(test, ...) ZKQE_THROWS_AS_ON_(test, true, __VA_ARGS__)

#define ZKQE_CHECK_EQ(...) ZKQE_CHECK_EQ_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_CHECK_NE(...) ZKQE_CHECK_NE_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_CHECK_LT(...) ZKQE_CHECK_LT_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_CHECK_LE(...) ZKQE_CHECK_LE_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_CHECK_GT(...) ZKQE_CHECK_GT_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_CHECK_GE(...) ZKQE_CHECK_GE_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_EQ(...) ZKQE_REQUIRE_EQ_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_NE(...) ZKQE_REQUIRE_NE_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_LT(...) ZKQE_REQUIRE_LT_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_LE(...) ZKQE_REQUIRE_LE_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_GT(...) ZKQE_REQUIRE_GT_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_GE(...) ZKQE_REQUIRE_GE_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE(...) ZKQE_TRUTH_CHECK_(ZKQE_RUNNING_TEST_, true, __VA_ARGS__)
#define ZKQE_CHECK_FALSE(...) ZKQE_CHECK_FALSE_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_FALSE(...) ZKQE_REQUIRE_FALSE_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_NEAR(...) ZKQE_REQUIRE_NEAR_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_CHECK_THROWS(...) ZKQE_CHECK_THROWS_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_THROWS(...) ZKQE_REQUIRE_THROWS_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_CHECK_NOTHROW(...) ZKQE_CHECK_NOTHROW_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_NOTHROW(...) ZKQE_REQUIRE_NOTHROW_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_CHECK_THROWS_AS(...) ZKQE_CHECK_THROWS_AS_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_THROWS_AS(...) ZKQE_REQUIRE_THROWS_AS_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)

// ZKQE_INFO("loading " << name): attached to every failure on this thread
// until the end of the enclosing scope.
#define ZKQE_INFO(...)                                                                             \
    const ::zktest::InfoScope ZKQE_CHECKS_CAT(zkqeInfo_, __COUNTER__)(                             \
        static_cast<::zktest::ValueText&&>((::zktest::MessageBuilder() << __VA_ARGS__).text))

// ZKQE_CAPTURE(x, y): "x := 3, y := 4", the values as they are now,
// attached as ZKQE_INFO's messages are.
#define ZKQE_CAPTURE(...)                                                                          \
    const ::zktest::InfoScope ZKQE_CHECKS_CAT(zkqeCapture_, __COUNTER__)(                          \
        ::zktest::captured(#__VA_ARGS__, __VA_ARGS__))

#endif
