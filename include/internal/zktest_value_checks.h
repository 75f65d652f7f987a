// SPDX-License-Identifier: MIT
// Not an interface: machinery that the value checks of zktest_checks.h
// expand to, reached only through that header. Anything here may change or
// go without notice.
//
// The value checks' own machinery: the comparisons and their failure texts,
// the exception checks, the scoped messages of ZKQE_INFO, and the helper
// macros that zktest_checks.h's macros expand through.
#ifndef ZKTEST_INTERNAL_VALUE_CHECKS_H
#define ZKTEST_INTERNAL_VALUE_CHECKS_H

#include "zkqe_export.h"
#include "internal/zktest_check_site.h"
#include "internal/zktest_value_printer.h"

namespace zktest {

enum class Op { eq, ne, lt, le, gt, ge };

template <Op op, class A, class B> bool compareValues(const A& a, const B& b) {
    if constexpr (detail::IsCharPointer<A>::value && detail::IsCharPointer<B>::value) {
        return compareValues<op>(compareCStrings(a, b), 0);
    } else if constexpr (detail::IsInteger<A>::value && detail::IsInteger<B>::value &&
                         detail::IsSignedInteger<A>::value != detail::IsSignedInteger<B>::value &&
                         !detail::IsSame<A, bool>::value && !detail::IsSame<B, bool>::value) {
        // By value: -1 is less than every unsigned number.
        if constexpr (detail::IsSignedInteger<A>::value) {
            if (a < 0)
                return compareValues<op>(-1, 0);
        } else if (b < 0) {
            return compareValues<op>(1, 0);
        }
        return compareValues<op>(static_cast<unsigned long long>(a),
                                 static_cast<unsigned long long>(b));
    } else {
        if constexpr (op == Op::eq)
            return a == b;
        else if constexpr (op == Op::ne)
            return a != b;
        else if constexpr (op == Op::lt)
            return a < b;
        else if constexpr (op == Op::le)
            return a <= b;
        else if constexpr (op == Op::gt)
            return a > b;
        else
            return a >= b;
    }
}

ZKQE_API const char* opName(Op op);
ZKQE_API const char* opSymbol(Op op);

template <class A, class B>
Outcome describeComparison(const char* arguments, Op op, const A& a, const B& b) {
    const Outcome outcome = newFailure();
    ValueText& text = *outcome.failure;
    appendBinaryText(text, opName(op), opSymbol(op), arguments);
    ValueText left, right;
    appendOne(left, a);
    appendOne(right, b);
    text.append(" (");
    appendComparedValues(text, left, right);
    text.append(")");
    return outcome;
}

template <Op op, class A, class B> Outcome compare(const char* arguments, const A& a, const B& b) {
    if (compareValues<op>(a, b))
        return {nullptr};
    return describeComparison(arguments, op, a, b);
}

// `kind` is the check's short name (THROWS, THROWS_AS, NOTHROW).
ZKQE_API Outcome threwNothing(const char* kind, const char* arguments);
// For the exception being handled.
ZKQE_API Outcome threwOther(const char* kind, const char* arguments);

template <class F> Outcome throwsAny(const char* arguments, F&& expression) {
    try {
        expression();
    } catch (...) {
        return {nullptr};
    }
    return threwNothing("THROWS", arguments);
}

template <class E, class F> Outcome throwsAs(const char* arguments, F&& expression) {
    try {
        expression();
    } catch (const E&) {
        return {nullptr};
    } catch (...) {
        return threwOther("THROWS_AS", arguments);
    }
    return threwNothing("THROWS_AS", arguments);
}

template <class F> Outcome throwsNothing(const char* arguments, F&& expression) {
    try {
        expression();
    } catch (...) {
        return threwOther("NOTHROW", arguments);
    }
    return {nullptr};
}

// One call per check site: the comparison and the check object.
template <Op op, class Test, class A, class B>
Check checkComparison(Test& test, const char* file, int line, bool fatal, const char* text,
                      const A& a, const B& b) {
    return Check(test, file, line, fatal, text, compare<op>(text, a, b));
}

// A scoped message attached to every failure on its thread while it lives.
class ZKQE_API InfoScope {
public:
    explicit InfoScope(ValueText&& text);
    ~InfoScope();
    InfoScope(const InfoScope&) = delete;
    InfoScope& operator=(const InfoScope&) = delete;

private:
    ValueText text_;
};

struct MessageBuilder {
    ValueText text;
    template <class T> MessageBuilder& operator<<(const T& part) {
        appendMessage(text, part);
        return *this;
    }
};

} // namespace zktest

#define ZKQE_CHECKS_CALL_(macro, arguments) macro arguments

#define ZKQE_VALUE_CHECK_(test, fatal, op, ...)                                                    \
    ::zktest::checkComparison<::zktest::Op::op>(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__,      \
                                                fatal, #__VA_ARGS__, __VA_ARGS__)

#define ZKQE_FALSITY_CHECK_(test, fatal, ...)                                                      \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, "!(" #__VA_ARGS__ ")",    \
                    ::zktest::truth("!(" #__VA_ARGS__ ")", !static_cast<bool>(__VA_ARGS__)))

#define ZKQE_THROWS_ON_(test, fatal, ...)                                                          \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, #__VA_ARGS__,             \
                    ::zktest::throwsAny(#__VA_ARGS__, [&] { (void)(__VA_ARGS__); }))
#define ZKQE_NOTHROW_ON_(test, fatal, ...)                                                         \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, #__VA_ARGS__,             \
                    ::zktest::throwsNothing(#__VA_ARGS__, [&] { (void)(__VA_ARGS__); }))

// THROWS_AS(expression, type): the type is the last argument, found by
// counting them, so the expression may hold commas of its own.
#define ZKQE_CHECKS_TYPE_FIRST_2(a1, t) t, a1
#define ZKQE_CHECKS_TYPE_FIRST_3(a1, a2, t) t, a1, a2
#define ZKQE_CHECKS_TYPE_FIRST_4(a1, a2, a3, t) t, a1, a2, a3
#define ZKQE_CHECKS_TYPE_FIRST_5(a1, a2, a3, a4, t) t, a1, a2, a3, a4
#define ZKQE_CHECKS_TYPE_FIRST_6(a1, a2, a3, a4, a5, t) t, a1, a2, a3, a4, a5
#define ZKQE_CHECKS_TYPE_FIRST_7(a1, a2, a3, a4, a5, a6, t) t, a1, a2, a3, a4, a5, a6
#define ZKQE_CHECKS_TYPE_FIRST_8(a1, a2, a3, a4, a5, a6, a7, t) t, a1, a2, a3, a4, a5, a6, a7
#define ZKQE_THROWS_AS_BODY_(test, fatal, text, type, ...)                                         \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, text,                     \
                    ::zktest::throwsAs<type>(text, [&] { (void)(__VA_ARGS__); }))
#define ZKQE_THROWS_AS_ON_(test, fatal, ...)                                                       \
    ZKQE_CHECKS_CALL_(                                                                             \
        ZKQE_THROWS_AS_BODY_,                                                                      \
        (test, fatal, #__VA_ARGS__,                                                                \
         ZKQE_CHECKS_CAT(ZKQE_CHECKS_TYPE_FIRST_, ZKQE_CHECKS_COUNT_(__VA_ARGS__))(__VA_ARGS__)))

#endif
