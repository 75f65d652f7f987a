// SPDX-License-Identifier: MIT
// Not an interface: machinery that the check macros of zkqe_check.h and
// zktest_checks.h expand to, reached only through them. Anything here may
// change or go without notice.
//
// What a check site calls: the comparisons and their outcomes, the Check
// object that reports them, the scoped messages of ZKQE_INFO, and the
// helper macros that the check macros expand through.
#ifndef ZKTEST_INTERNAL_CHECK_SITE_H
#define ZKTEST_INTERNAL_CHECK_SITE_H

#include "zkqe_export.h"
#include "internal/zktest_require_abort.h"
#include "internal/zktest_value_printer.h"

namespace zktest {

// What a check saw: null when it passed, else its failure text (on the
// heap, owned by the Check it goes to). Trivially destructible, so a check
// site needs no clean-up of its own.
struct Outcome {
    ValueText* failure;
};
ZKQE_API Outcome newFailure();

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
    text.append(" (");
    appendAny(text, a);
    text.append(" vs ");
    appendAny(text, b);
    text.append(")");
    return outcome;
}

template <Op op, class A, class B> Outcome compare(const char* arguments, const A& a, const B& b) {
    if (compareValues<op>(a, b))
        return {nullptr};
    return describeComparison(arguments, op, a, b);
}

ZKQE_API Outcome nearFailed(const char* arguments, double a, double b, double tolerance);
// NaN is never near anything, unlike assertSmall's, which passes NaN.
inline Outcome near(const char* arguments, double a, double b, double tolerance) {
    const double difference = a > b ? a - b : b - a;
    if (difference <= tolerance)
        return {nullptr};
    return nearFailed(arguments, a, b, tolerance);
}
ZKQE_API Outcome textFailure(const char* text);
inline Outcome truth(const char* text, bool passed) {
    return passed ? Outcome{nullptr} : textFailure(text);
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

// The check in flight: reports a pass at once, a failure at the end of the
// full expression, after the messages streamed into it. Only the failing
// path does more than the comparison and assertTrue.
class ZKQE_API Check {
public:
    template <class Test>
    Check(Test& test, const char* file, int line, bool fatal, const char* passText, Outcome outcome)
        : failure_(outcome.failure) {
        if (failure_ == nullptr) {
            test.assertTrue(passText, file, line, true, nullptr);
            return;
        }
        test_ = &test;
        report_ = &reportOn<Test>;
        file_ = file;
        line_ = line;
        fatal_ = fatal;
    }
    Check(const Check&) = delete;
    Check& operator=(const Check&) = delete;

    template <class T> Check& operator<<(const T& part) {
        if (failure_ != nullptr) {
            startMessage();
            appendMessage(*failure_, part);
        }
        return *this;
    }
    operator bool() const { return failure_ == nullptr; }

    ~Check() noexcept(false) {
        if (failure_ != nullptr)
            finish();
    }

private:
    using Report = bool (*)(void* test, const char* tag, const char* file, int line);
    template <class Test>
    static bool reportOn(void* test, const char* tag, const char* file, int line) {
        return static_cast<Test*>(test)->assertTrue(tag, file, line, false, nullptr);
    }
    void startMessage();
    // Reports the failure, then throws RequireAbort when fatal.
    void finish();

    ValueText* failure_;
    void* test_ = nullptr;
    Report report_ = nullptr;
    const char* file_ = nullptr;
    int line_ = 0;
    bool fatal_ = false;
    bool messages_ = false;
};

class CaseContext;
// Every case is a class of its own; its checks all go to its CaseContext,
// so the check templates are instantiated once for all cases, not per case.
// A cast, not a function, so that a check site makes no extra call.
template <class Test> struct CheckTargetOf {
    using type =
        typename detail::Pick<detail::IsBaseOf<CaseContext, Test>::value, CaseContext, Test>::type;
};
template <class Test> struct CheckTargetOf<Test&> : CheckTargetOf<Test> {};
#define ZKQE_CHECK_TARGET_(test)                                                                   \
    static_cast<typename ::zktest::CheckTargetOf<decltype(test)>::type&>(test)

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

#define ZKQE_CHECKS_CAT_(a, b) a##b
#define ZKQE_CHECKS_CAT(a, b) ZKQE_CHECKS_CAT_(a, b)
#define ZKQE_CHECKS_CALL_(macro, arguments) macro arguments

#define ZKQE_VALUE_CHECK_(test, fatal, op, ...)                                                    \
    ::zktest::checkComparison<::zktest::Op::op>(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__,      \
                                                fatal, #__VA_ARGS__, __VA_ARGS__)

// The condition's own text is the failure text, as for ZKQE_CHECK.
#define ZKQE_TRUTH_CHECK_(test, fatal, ...)                                                        \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, #__VA_ARGS__,             \
                    ::zktest::truth(#__VA_ARGS__, static_cast<bool>(__VA_ARGS__)))
#define ZKQE_FALSITY_CHECK_(test, fatal, ...)                                                      \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, "!(" #__VA_ARGS__ ")",    \
                    ::zktest::truth("!(" #__VA_ARGS__ ")", !static_cast<bool>(__VA_ARGS__)))

// ZKQE_CHECK_NEAR(a, b) is assertSmall of a - b against the object's threshold;
// ZKQE_CHECK_NEAR(a, b, tolerance) is the value check.
#define ZKQE_CHECK_NEAR2_ON_(test, a, b)                                                           \
    ((test).assertSmall(#a " - " #b, __FILE__, __LINE__,                                           \
                        static_cast<double>(a) - static_cast<double>(b), nullptr))
#define ZKQE_NEAR3_ON_(test, fatal, ...)                                                           \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, #__VA_ARGS__,             \
                    ::zktest::near(#__VA_ARGS__, __VA_ARGS__))
#define ZKQE_CHECKS_NEAR_2(test, a, b) ZKQE_CHECK_NEAR2_ON_(test, a, b)
#define ZKQE_CHECKS_NEAR_3(test, ...) ZKQE_NEAR3_ON_(test, false, __VA_ARGS__)

#define ZKQE_THROWS_ON_(test, fatal, ...)                                                          \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, #__VA_ARGS__,             \
                    ::zktest::throwsAny(#__VA_ARGS__, [&] { (void)(__VA_ARGS__); }))
#define ZKQE_NOTHROW_ON_(test, fatal, ...)                                                         \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, #__VA_ARGS__,             \
                    ::zktest::throwsNothing(#__VA_ARGS__, [&] { (void)(__VA_ARGS__); }))

// The number of arguments, up to eight: NEAR takes two or three, and
// THROWS_AS(expression, type) finds its type as the last one, so the
// expression may hold commas of its own.
#define ZKQE_CHECKS_COUNT_(...) ZKQE_CHECKS_COUNT_I_(__VA_ARGS__, 8, 7, 6, 5, 4, 3, 2, 1, 0)
#define ZKQE_CHECKS_COUNT_I_(a1, a2, a3, a4, a5, a6, a7, a8, n, ...) n
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
