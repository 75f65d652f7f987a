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
//
// EQ NE LT LE GT GE compare with the operator their name says, C strings by
// content and integers of mixed signedness by value; every macro has a
// ZKQE_REQUIRE_ form that, on failure, ends the case or section it is in
// (or the test body) by throwing zktest::RequireAbort, which is no
// std::exception, so user code's catch of those does not swallow it. Each
// macro has an _ON form taking the test object first, is variadic (braced
// lists and template arguments need no extra parentheses), evaluates each
// argument once, and yields whether it passed. A passing check formats
// nothing; messages are built only when it fails.
//
// Values print as a developer reads them: integers, floating point in the
// shortest form that reads back the same, bool, characters and strings
// quoted and escaped, pointers, enums as numbers, containers element-wise,
// other types through their operator<< or as their size. Control characters
// and line breaks are always escaped, so a value never breaks a report's
// line structure, and a long value is shortened in its middle.
#ifndef ZKTEST_CHECKS_H
#define ZKTEST_CHECKS_H

#include "zkqe_check.h"
#include "zkqe_export.h"

// Few and small standard headers: every file of cases pays for them, which
// is why the few type traits the value printer needs are written below.
#include <cstddef>
#include <iosfwd>

namespace zktest {

// A text the library grows; the checks' values and messages are built in it.
class ZKQE_API ValueText {
public:
    ValueText() = default;
    // Inline, so a passing check, which never fills one, makes no call.
    ~ValueText() {
        if (data_ != nullptr)
            release();
    }
    ValueText(ValueText&& other) noexcept
        : data_(other.data_), size_(other.size_), capacity_(other.capacity_) {
        other.data_ = nullptr;
        other.size_ = other.capacity_ = 0;
    }
    ValueText& operator=(ValueText&& other) noexcept {
        char* const mine = data_;
        data_ = other.data_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        other.data_ = mine; // released with `other`
        other.size_ = other.capacity_ = 0;
        return *this;
    }
    ValueText(const ValueText&) = delete;
    ValueText& operator=(const ValueText&) = delete;
    void append(const char* text, std::size_t length);
    void append(const char* text);
    const char* c_str() const { return size_ == 0 ? "" : data_; }
    std::size_t size() const { return size_; }

private:
    void release();
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// The formatters behind every value and message.
ZKQE_API void appendValue(ValueText& out, long long value);
ZKQE_API void appendValue(ValueText& out, unsigned long long value);
ZKQE_API void appendValue(ValueText& out, double value);
ZKQE_API void appendValue(ValueText& out, long double value);
ZKQE_API void appendFloat(ValueText& out, float value);
ZKQE_API void appendValue(ValueText& out, bool value);
ZKQE_API void appendChar(ValueText& out, char value);
ZKQE_API void appendQuoted(ValueText& out, const char* text, std::size_t length);
ZKQE_API void appendCString(ValueText& out, const char* text);
// Message text from a C string (null writes nothing).
ZKQE_API void appendEscapedCString(ValueText& out, const char* text);
// strcmp's order, with a null pointer before every string.
ZKQE_API int compareCStrings(const char* a, const char* b);
ZKQE_API void appendPointer(ValueText& out, const void* pointer);
// Message text: escaped, unquoted.
ZKQE_API void appendEscaped(ValueText& out, const char* text, std::size_t length);
// Through the type's operator<<, then escaped.
ZKQE_API void appendStreamed(ValueText& out, void (*write)(std::ostream&, const void*),
                             const void* object);
ZKQE_API void appendUnprintable(ValueText& out, std::size_t size);
// Keeps the start and end of what was appended since `from`, when long.
ZKQE_API void shortenFrom(ValueText& out, std::size_t from);
// The exception being handled: its type and, for a std::exception, what().
ZKQE_API void appendCurrentException(ValueText& out);
// "a == b" from the text "a, b" of a two-argument check, when the text has
// exactly one comma outside brackets and quotes; else "NAME(a, b)".
ZKQE_API void appendBinaryText(ValueText& out, const char* name, const char* op,
                               const char* arguments);

namespace detail {

template <bool B> struct Bool { static constexpr bool value = B; };
using True = Bool<true>;
using False = Bool<false>;
template <class...> using VoidT = void;
template <class T> T&& declval() noexcept;
template <bool, class A, class B> struct Pick { using type = A; };
template <class A, class B> struct Pick<false, A, B> { using type = B; };

template <class A, class B> struct IsSame : False {};
template <class A> struct IsSame<A, A> : True {};

template <class T> struct RemoveCv { using type = T; };
template <class T> struct RemoveCv<const T> { using type = T; };
template <class T> struct RemoveCv<volatile T> { using type = T; };
template <class T> struct RemoveCv<const volatile T> { using type = T; };
// A value as the printer sees it: arrays and functions as pointers, no
// top-level const or volatile.
template <class T> struct Decay { using type = typename RemoveCv<T>::type; };
template <class T> struct Decay<T[]> { using type = T*; };
template <class T, std::size_t N> struct Decay<T[N]> { using type = T*; };
template <class R, class... A> struct Decay<R(A...)> { using type = R (*)(A...); };
template <class T> using DecayT = typename Decay<T>::type;

// The compilers' own traits, wrapped: a signature may not name them bare.
template <class Base, class Derived> struct IsBaseOf : Bool<__is_base_of(Base, Derived)> {};

template <class T> struct IsPointer : False {};
template <class T> struct IsPointer<T*> : True {};

// bool and char are printed apart, before any test for a number.
template <class T> struct IsIntegerNoCv : False {};
template <> struct IsIntegerNoCv<bool> : True {};
template <> struct IsIntegerNoCv<char> : True {};
template <> struct IsIntegerNoCv<signed char> : True {};
template <> struct IsIntegerNoCv<unsigned char> : True {};
template <> struct IsIntegerNoCv<wchar_t> : True {};
#if defined(__cpp_char8_t)
template <> struct IsIntegerNoCv<char8_t> : True {};
#endif
template <> struct IsIntegerNoCv<char16_t> : True {};
template <> struct IsIntegerNoCv<char32_t> : True {};
template <> struct IsIntegerNoCv<short> : True {};
template <> struct IsIntegerNoCv<unsigned short> : True {};
template <> struct IsIntegerNoCv<int> : True {};
template <> struct IsIntegerNoCv<unsigned> : True {};
template <> struct IsIntegerNoCv<long> : True {};
template <> struct IsIntegerNoCv<unsigned long> : True {};
template <> struct IsIntegerNoCv<long long> : True {};
template <> struct IsIntegerNoCv<unsigned long long> : True {};
template <class T> struct IsInteger : IsIntegerNoCv<typename RemoveCv<T>::type> {};
template <class T, bool = IsInteger<T>::value> struct IsSignedInteger : False {};
template <class T> struct IsSignedInteger<T, true> : Bool<(T(-1) < T(0))> {};

True acceptsCharPointer(const char*);
False acceptsCharPointer(...);
True acceptsSize(std::size_t);
False acceptsSize(...);

template <class T, class = void> struct IsStringLike : False {};
template <class T>
struct IsStringLike<
    T, VoidT<decltype(declval<const T&>().data()), decltype(declval<const T&>().size())>>
    : Bool<decltype(acceptsCharPointer(declval<const T&>().data()))::value&& decltype(acceptsSize(
          declval<const T&>().size()))::value> {};

template <class T, class = void> struct IsRange : False {};
template <class T>
struct IsRange<T, VoidT<decltype(declval<const T&>().begin() != declval<const T&>().end())>>
    : True {};

template <class T, class = void> struct IsStreamable : False {};
template <class T>
struct IsStreamable<T, VoidT<decltype(declval<std::ostream&>() << declval<const T&>())>> : True {};

template <class T> void writeTo(std::ostream& stream, const void* object) {
    stream << *static_cast<const T*>(object);
}

template <class T> struct IsCharPointer {
    using D = DecayT<T>;
    static constexpr bool value = IsSame<D, char*>::value || IsSame<D, const char*>::value;
};

} // namespace detail

template <class T> void appendAny(ValueText& out, const T& value);

template <class T> void appendOne(ValueText& out, const T& value) {
    using D = detail::DecayT<T>;
    if constexpr (detail::IsSame<D, bool>::value) {
        appendValue(out, value);
    } else if constexpr (detail::IsSame<D, char>::value) {
        appendChar(out, value);
    } else if constexpr (__is_enum(D)) {
        appendOne(out, static_cast<__underlying_type(D)>(value));
    } else if constexpr (detail::IsSignedInteger<D>::value) {
        // signed and unsigned char are small numbers here; char is a character.
        appendValue(out, static_cast<long long>(value));
    } else if constexpr (detail::IsInteger<D>::value) {
        appendValue(out, static_cast<unsigned long long>(value));
    } else if constexpr (detail::IsSame<D, float>::value) {
        appendFloat(out, value);
    } else if constexpr (detail::IsSame<D, double>::value ||
                         detail::IsSame<D, long double>::value) {
        appendValue(out, value);
    } else if constexpr (detail::IsSame<D, decltype(nullptr)>::value) {
        appendPointer(out, nullptr);
    } else if constexpr (detail::IsCharPointer<T>::value) {
        appendCString(out, value);
    } else if constexpr (detail::IsPointer<D>::value) {
        appendPointer(out, reinterpret_cast<const void*>(value));
    } else if constexpr (detail::IsStringLike<D>::value) {
        appendQuoted(out, value.data(), value.size());
    } else if constexpr (detail::IsStreamable<D>::value) {
        appendStreamed(out, &detail::writeTo<D>, &value);
    } else if constexpr (detail::IsRange<D>::value) {
        out.append("{");
        bool first = true;
        for (const auto& element : value) {
            out.append(first ? "" : ", ");
            first = false;
            appendAny(out, element);
        }
        out.append("}");
    } else {
        appendUnprintable(out, sizeof(D));
    }
}

template <class T> void appendAny(ValueText& out, const T& value) {
    const std::size_t from = out.size();
    appendOne(out, value);
    shortenFrom(out, from);
}

// A message part: text as it is (escaped), anything else as a value.
template <class T> void appendMessage(ValueText& out, const T& part) {
    using D = detail::DecayT<T>;
    if constexpr (detail::IsCharPointer<T>::value)
        appendEscapedCString(out, part);
    else if constexpr (detail::IsStringLike<D>::value)
        appendEscaped(out, part.data(), part.size());
    else
        appendAny(out, part);
}

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

// The condition's own text is the failure text, as for ZKQE_CHECK.
#define ZKQE_TRUTH_CHECK_(test, fatal, ...)                                                        \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, #__VA_ARGS__,             \
                    ::zktest::truth(#__VA_ARGS__, static_cast<bool>(__VA_ARGS__)))
#define ZKQE_FALSITY_CHECK_(test, fatal, ...)                                                      \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, "!(" #__VA_ARGS__ ")",    \
                    ::zktest::truth("!(" #__VA_ARGS__ ")", !static_cast<bool>(__VA_ARGS__)))
#define ZKQE_REQUIRE_ON(test, ...) ZKQE_TRUTH_CHECK_(test, true, __VA_ARGS__)
// With this header, ZKQE_CHECK takes messages too; its text, result and cost
// stay those of zkqe_check.h's.
#undef ZKQE_CHECK_ON
#define ZKQE_CHECK_ON(test, ...) ZKQE_TRUTH_CHECK_(test, false, __VA_ARGS__)
#define ZKQE_CHECK_FALSE_ON(test, ...) ZKQE_FALSITY_CHECK_(test, false, __VA_ARGS__)
#define ZKQE_REQUIRE_FALSE_ON(test, ...) ZKQE_FALSITY_CHECK_(test, true, __VA_ARGS__)

#define ZKQE_NEAR3_ON_(test, fatal, ...)                                                           \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, #__VA_ARGS__,             \
                    ::zktest::near(#__VA_ARGS__, __VA_ARGS__))
#define ZKQE_REQUIRE_NEAR_ON(test, ...) ZKQE_NEAR3_ON_(test, true, __VA_ARGS__)
// ZKQE_CHECK_NEAR(a, b) stays assertSmall against the object's threshold;
// ZKQE_CHECK_NEAR(a, b, tolerance) is the value check.
#define ZKQE_CHECKS_NEAR_2(test, a, b) ZKQE_CHECK_NEAR2_ON_(test, a, b)
#define ZKQE_CHECKS_NEAR_3(test, ...) ZKQE_NEAR3_ON_(test, false, __VA_ARGS__)
#undef ZKQE_CHECK_NEAR_ON
#define ZKQE_CHECK_NEAR_ON(test, ...)                                                              \
    ZKQE_CHECKS_CAT(ZKQE_CHECKS_NEAR_, ZKQE_CHECKS_COUNT_(__VA_ARGS__))(test, __VA_ARGS__)

#define ZKQE_THROWS_ON_(test, fatal, ...)                                                          \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, #__VA_ARGS__,             \
                    ::zktest::throwsAny(#__VA_ARGS__, [&] { (void)(__VA_ARGS__); }))
#define ZKQE_NOTHROW_ON_(test, fatal, ...)                                                         \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, #__VA_ARGS__,             \
                    ::zktest::throwsNothing(#__VA_ARGS__, [&] { (void)(__VA_ARGS__); }))
#define ZKQE_CHECK_THROWS_ON(test, ...) ZKQE_THROWS_ON_(test, false, __VA_ARGS__)
#define ZKQE_REQUIRE_THROWS_ON(test, ...) ZKQE_THROWS_ON_(test, true, __VA_ARGS__)
#define ZKQE_CHECK_NOTHROW_ON(test, ...) ZKQE_NOTHROW_ON_(test, false, __VA_ARGS__)
#define ZKQE_REQUIRE_NOTHROW_ON(test, ...) ZKQE_NOTHROW_ON_(test, true, __VA_ARGS__)

// THROWS_AS(expression, type): the type is the last argument, found by
// counting them, so the expression may hold commas of its own.
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
#define ZKQE_CHECK_THROWS_AS_ON(test, ...) ZKQE_THROWS_AS_ON_(test, false, __VA_ARGS__)
#define ZKQE_REQUIRE_THROWS_AS_ON(test, ...) ZKQE_THROWS_AS_ON_(test, true, __VA_ARGS__)

#define ZKQE_CHECK_EQ(...) ZKQE_CHECK_EQ_ON(*this, __VA_ARGS__)
#define ZKQE_CHECK_NE(...) ZKQE_CHECK_NE_ON(*this, __VA_ARGS__)
#define ZKQE_CHECK_LT(...) ZKQE_CHECK_LT_ON(*this, __VA_ARGS__)
#define ZKQE_CHECK_LE(...) ZKQE_CHECK_LE_ON(*this, __VA_ARGS__)
#define ZKQE_CHECK_GT(...) ZKQE_CHECK_GT_ON(*this, __VA_ARGS__)
#define ZKQE_CHECK_GE(...) ZKQE_CHECK_GE_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE_EQ(...) ZKQE_REQUIRE_EQ_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE_NE(...) ZKQE_REQUIRE_NE_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE_LT(...) ZKQE_REQUIRE_LT_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE_LE(...) ZKQE_REQUIRE_LE_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE_GT(...) ZKQE_REQUIRE_GT_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE_GE(...) ZKQE_REQUIRE_GE_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE(...) ZKQE_REQUIRE_ON(*this, __VA_ARGS__)
#define ZKQE_CHECK_FALSE(...) ZKQE_CHECK_FALSE_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE_FALSE(...) ZKQE_REQUIRE_FALSE_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE_NEAR(...) ZKQE_REQUIRE_NEAR_ON(*this, __VA_ARGS__)
#define ZKQE_CHECK_THROWS(...) ZKQE_CHECK_THROWS_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE_THROWS(...) ZKQE_REQUIRE_THROWS_ON(*this, __VA_ARGS__)
#define ZKQE_CHECK_NOTHROW(...) ZKQE_CHECK_NOTHROW_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE_NOTHROW(...) ZKQE_REQUIRE_NOTHROW_ON(*this, __VA_ARGS__)
#define ZKQE_CHECK_THROWS_AS(...) ZKQE_CHECK_THROWS_AS_ON(*this, __VA_ARGS__)
#define ZKQE_REQUIRE_THROWS_AS(...) ZKQE_REQUIRE_THROWS_AS_ON(*this, __VA_ARGS__)

// ZKQE_INFO("loading " << name): attached to every failure on this thread
// until the end of the enclosing scope.
#define ZKQE_INFO(...)                                                                             \
    const ::zktest::InfoScope ZKQE_CHECKS_CAT(zkqeInfo_, __COUNTER__)(                             \
        static_cast<::zktest::ValueText&&>((::zktest::MessageBuilder() << __VA_ARGS__).text))

#endif
