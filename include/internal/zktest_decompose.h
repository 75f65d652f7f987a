// SPDX-License-Identifier: MIT
// Not an interface: the decomposing truth check, which
// zktest_value_checks.h puts in place of the plain one of
// zktest_check_site.h. Anything here may change or go without notice.
//
// `Decomposer() <= a == b` is a comparison in an operand of ==, which GCC's
// -Wparentheses flags at the site of every check; the flag goes by where
// the `<=` is spelt, so this header holds that one macro and nothing else,
// and is a system header to the compiler.
#ifndef ZKTEST_INTERNAL_DECOMPOSE_H
#define ZKTEST_INTERNAL_DECOMPOSE_H

#pragma GCC system_header

#undef ZKQE_TRUTH_CHECK_
#define ZKQE_TRUTH_CHECK_(target, fatal, ...)                                                      \
    ::zktest::checkDecomposed(target, __FILE__, __LINE__, fatal, #__VA_ARGS__,                     \
                              ::zktest::Decomposer() <= __VA_ARGS__)

#endif
