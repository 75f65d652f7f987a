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

// The operator's own meaning, but for integers of mixed signedness, which
// compare by value (-1 is less than every unsigned number), and a pointer
// against 0 or NULL, which compares as against nullptr.
template <Op op, class A, class B> bool compareOperands(const A& a, const B& b) {
    using DA = detail::DecayT<A>;
    using DB = detail::DecayT<B>;
    if constexpr (detail::IsInteger<A>::value && detail::IsInteger<B>::value &&
                  detail::IsSignedInteger<A>::value != detail::IsSignedInteger<B>::value &&
                  !detail::IsSame<A, bool>::value && !detail::IsSame<B, bool>::value) {
        if constexpr (detail::IsSignedInteger<A>::value) {
            if (a < 0)
                return compareOperands<op>(-1, 0);
        } else if (b < 0) {
            return compareOperands<op>(1, 0);
        }
        return compareOperands<op>(static_cast<unsigned long long>(a),
                                   static_cast<unsigned long long>(b));
    } else if constexpr (detail::IsPointer<DA>::value && detail::IsInteger<B>::value) {
        static_assert(op == Op::eq || op == Op::ne, "a pointer is ordered only against a pointer");
        // Only a null pointer constant compiles in C++; no other number is
        // taken for an address.
        return (b == 0 && a == nullptr) == (op == Op::eq);
    } else if constexpr (detail::IsInteger<A>::value && detail::IsPointer<DB>::value) {
        static_assert(op == Op::eq || op == Op::ne, "a pointer is ordered only against a pointer");
        return (a == 0 && b == nullptr) == (op == Op::eq);
    } else if constexpr (op == Op::eq) {
        // Cast, as the condition of an `if` would be: a result whose bool is
        // explicit converts too.
        return static_cast<bool>(a == b);
    } else if constexpr (op == Op::ne) {
        return static_cast<bool>(a != b);
    } else if constexpr (op == Op::lt) {
        return static_cast<bool>(a < b);
    } else if constexpr (op == Op::le) {
        return static_cast<bool>(a <= b);
    } else if constexpr (op == Op::gt) {
        return static_cast<bool>(a > b);
    } else {
        return static_cast<bool>(a >= b);
    }
}

// The value checks': C strings by content, the rest as compareOperands.
template <Op op, class A, class B> bool compareValues(const A& a, const B& b) {
    if constexpr (detail::IsCharPointer<A>::value && detail::IsCharPointer<B>::value)
        return compareOperands<op>(compareCStrings(a, b), 0);
    else
        return compareOperands<op>(a, b);
}

ZKQE_API const char* opName(Op op);
ZKQE_API const char* opSymbol(Op op);

// " (a vs b)"
template <class A, class B> void appendBothValues(ValueText& text, const A& a, const B& b) {
    ValueText left, right;
    appendOne(left, a);
    appendOne(right, b);
    text.append(" (");
    appendComparedValues(text, left, right);
    text.append(")");
}

template <class A, class B>
Outcome describeComparison(const char* arguments, Op op, const A& a, const B& b) {
    const Outcome outcome = newFailure();
    appendBinaryText(*outcome.failure, opName(op), opSymbol(op), arguments);
    appendBothValues(*outcome.failure, a, b);
    return outcome;
}

template <Op op, class A, class B> Outcome compare(const char* arguments, const A& a, const B& b) {
    if (compareValues<op>(a, b))
        return {nullptr};
    return describeComparison(arguments, op, a, b);
}

// ZKQE_CHECK(a == b) shows both values: Decomposer() <= a == b captures a
// first (<= binds tighter than ==, and as tight as <, taken left to right),
// then the operator captures b and compares. What binds looser (&&, ||, ?:)
// sees the capture as a bool through its conversion, so it keeps its
// short-circuit and the check shows the text alone. The conversion is
// explicit, which keeps the built-in operators out of every comparison's
// overload set.
template <Op op, class L, class R> struct Comparison {
    const L& left;
    const R& right;
    bool passed;
    explicit operator bool() const { return passed; }
};

// Whether `L op R` compiles, or is a pointer against a null constant: each
// operator below takes part only then, so two values that do not compare
// are a compile error at the check's own `==`, on the user's line.
namespace detail {
template <bool, class T = void> struct EnableIf {};
template <class T> struct EnableIf<true, T> { using type = T; };
template <class L, class R>
struct PointerAndNumber : Bool<(IsPointer<DecayT<L>>::value && IsInteger<R>::value) ||
                               (IsInteger<L>::value && IsPointer<DecayT<R>>::value)> {};
template <Op op, class L, class R, class = void> struct Comparable : False {};
template <class L, class R>
struct Comparable<Op::eq, L, R, VoidT<decltype(declval<const L&>() == declval<const R&>())>>
    : True {};
template <class L, class R>
struct Comparable<Op::ne, L, R, VoidT<decltype(declval<const L&>() != declval<const R&>())>>
    : True {};
template <class L, class R>
struct Comparable<Op::lt, L, R, VoidT<decltype(declval<const L&>() < declval<const R&>())>> : True {
};
template <class L, class R>
struct Comparable<Op::le, L, R, VoidT<decltype(declval<const L&>() <= declval<const R&>())>>
    : True {};
template <class L, class R>
struct Comparable<Op::gt, L, R, VoidT<decltype(declval<const L&>() > declval<const R&>())>> : True {
};
template <class L, class R>
struct Comparable<Op::ge, L, R, VoidT<decltype(declval<const L&>() >= declval<const R&>())>>
    : True {};
template <Op op, class L, class R>
using IfComparable =
    typename EnableIf<Comparable<op, L, R>::value ||
                      ((op == Op::eq || op == Op::ne) && PointerAndNumber<L, R>::value)>::type;
} // namespace detail

template <class L> struct Operand {
    const L& value;
    template <class R, class = detail::IfComparable<Op::eq, L, R>>
    Comparison<Op::eq, L, R> operator==(const R& right) const {
        return {value, right, compareOperands<Op::eq>(value, right)};
    }
    template <class R, class = detail::IfComparable<Op::ne, L, R>>
    Comparison<Op::ne, L, R> operator!=(const R& right) const {
        return {value, right, compareOperands<Op::ne>(value, right)};
    }
    template <class R, class = detail::IfComparable<Op::lt, L, R>>
    Comparison<Op::lt, L, R> operator<(const R& right) const {
        return {value, right, compareOperands<Op::lt>(value, right)};
    }
    template <class R, class = detail::IfComparable<Op::le, L, R>>
    Comparison<Op::le, L, R> operator<=(const R& right) const {
        return {value, right, compareOperands<Op::le>(value, right)};
    }
    template <class R, class = detail::IfComparable<Op::gt, L, R>>
    Comparison<Op::gt, L, R> operator>(const R& right) const {
        return {value, right, compareOperands<Op::gt>(value, right)};
    }
    template <class R, class = detail::IfComparable<Op::ge, L, R>>
    Comparison<Op::ge, L, R> operator>=(const R& right) const {
        return {value, right, compareOperands<Op::ge>(value, right)};
    }
    // Bitwise operators bind looser than <=: `flags & mask` arrives here.
    template <class R> auto operator&(const R& right) const -> decltype(value & right) {
        return value & right;
    }
    template <class R> auto operator|(const R& right) const -> decltype(value | right) {
        return value | right;
    }
    template <class R> auto operator^(const R& right) const -> decltype(value ^ right) {
        return value ^ right;
    }
    explicit operator bool() const { return static_cast<bool>(value); }
};

struct Decomposer {
    template <class L> Operand<L> operator<=(const L& value) const { return {value}; }
};

template <Op op, class L, class R>
Outcome decomposed(const char* text, const Comparison<op, L, R>& comparison) {
    if (comparison.passed)
        return {nullptr};
    const Outcome outcome = textFailure(text);
    appendBothValues(*outcome.failure, comparison.left, comparison.right);
    return outcome;
}

// A lone value: false says nothing more than its text; another value shows.
template <class L> Outcome decomposed(const char* text, const Operand<L>& operand) {
    if (static_cast<bool>(operand.value))
        return {nullptr};
    const Outcome outcome = textFailure(text);
    if constexpr (!detail::IsSame<detail::DecayT<L>, bool>::value) {
        ValueText value;
        appendAny(value, operand.value);
        outcome.failure->append(" (");
        outcome.failure->append(value.c_str(), value.size());
        outcome.failure->append(")");
    }
    return outcome;
}

inline Outcome decomposed(const char* text, bool passed) {
    return truth(text, passed);
}

// One call per check site, as for the value checks.
template <class Test, class Decomposed>
Check checkDecomposed(Test& test, const char* file, int line, bool fatal, const char* text,
                      const Decomposed& decomposition) {
    return Check(test, file, line, fatal, text, decomposed(text, decomposition));
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
template <Op op, class Test, class A, class B, class = detail::IfComparable<op, A, B>>
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

// Appends "name := " for the first name of `names` ("x, y"), after ", "
// when `out` holds a capture already; returns the names after it. The last
// name is all that is left, so a template's comma there stays in it.
ZKQE_API const char* appendCapturedName(ValueText& out, const char* names, bool last);

// "x := 3, y := 4" from the text "x, y" and the values.
template <class... T> ValueText captured(const char* names, const T&... values) {
    ValueText text;
    std::size_t left = sizeof...(T);
    ((names = appendCapturedName(text, names, --left == 0), appendAny(text, values)), ...);
    return text;
}

struct MessageBuilder {
    ValueText text;
    template <class T> MessageBuilder& operator<<(const T& part) {
        appendMessage(text, part);
        return *this;
    }
};

} // namespace zktest

#define ZKQE_CHECKS_CALL_(macro, arguments) macro arguments

// With the value printer at hand, a truth check shows the values it compared.
#include "internal/zktest_decompose.h"

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
