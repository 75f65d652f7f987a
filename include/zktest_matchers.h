// SPDX-License-Identifier: MIT
// Matchers: a value checked against an expectation that describes itself,
// an exception's message checked the same way, and floating-point equality
// to within 4 units in the last place. On failure each says what it saw and
// what was expected, in words:
//
//   ZKQE_CHECK_THAT(name, zktest::StartsWith("bye"))
//       name is "hello", expected: starts with "bye"
//   ZKQE_CHECK_THAT(v, zktest::SizeIs(2) && zktest::Contains(7))
//       v is {1, 2}, expected: has size 2 and contains 7
//   ZKQE_CHECK_THROWS_WITH(load(), "full")
//       THROWS_WITH(load(), "full"): threw std::runtime_error: "empty", expected: equals "full"
//   ZKQE_CHECK_FLOAT_EQ(x, 1.0f)
//       FLOAT_EQ(x, 1.0f): 1.0000006 vs 1, 5 ULPs apart, more than 4
//
// Matchers compose with &&, || and !. The matcher is the last argument of
// THAT and THROWS_WITH, and may hold a comma only inside parentheses; the
// value or statement before it may hold any. THROWS_WITH takes a string
// too, which the message must equal. Every macro has a ZKQE_REQUIRE_ form
// and an _ON form, as those of zktest_checks.h.
//
// A header of its own, so that a file of cases without matchers compiles
// as fast as before; the work that needs no template (case folding,
// regular expressions, descriptions, ULP distances) is the library's, so
// that one with them pays little more.
#ifndef ZKTEST_MATCHERS_H
#define ZKTEST_MATCHERS_H

#include "zkqe_export.h"
#include "zktest_checks.h"

#include <cstddef>
#include <exception>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace zktest {

// Every matcher derives from this: && || and ! compose matchers, nothing
// else. `composition` says how a description nests in another's.
struct MatcherBase {
    static constexpr int composition = 0;
};
template <class M> struct IsMatcher : detail::IsBaseOf<MatcherBase, M> {};

// Case-blind comparisons fold the ASCII letters only; other bytes, UTF-8
// included, compare as they are.
enum class Case { sensitive, insensitive };

class StringMatcher : public MatcherBase {
public:
    enum class Kind { equals, startsWith, endsWith, contains, matches };
    StringMatcher(Kind kind, std::string expected, Case letters)
        : kind_(kind), expected_(std::move(expected)), letters_(letters) {}

    template <class T> bool match(const T& value) const {
        if constexpr (detail::IsCharPointer<T>::value)
            return matchCString(value);
        else
            return matchText(value.data(), value.size());
    }
    // A bad regular expression throws std::regex_error from here.
    ZKQE_API bool matchText(const char* text, std::size_t size) const;
    // A null pointer matches nothing.
    ZKQE_API bool matchCString(const char* text) const;
    ZKQE_API void describe(ValueText& out) const;

private:
    Kind kind_;
    std::string expected_;
    Case letters_;
};

class FloatMatcher : public MatcherBase {
public:
    enum class Kind { absolute, relative, ulps };
    // `single`: ULPs are counted between floats, not doubles.
    FloatMatcher(Kind kind, double target, double margin, bool single)
        : kind_(kind), target_(target), margin_(margin), single_(single) {}

    template <class T> bool match(const T& value) const {
        return matchNumber(static_cast<double>(value));
    }
    ZKQE_API bool matchNumber(double value) const;
    ZKQE_API void describe(ValueText& out) const;

private:
    Kind kind_;
    double target_;
    double margin_;
    bool single_;
};

class SizeMatcher : public MatcherBase {
public:
    explicit SizeMatcher(std::size_t size) : size_(size) {}
    // Counted, so that a range without size() is measured too.
    template <class T> bool match(const T& range) const {
        std::size_t count = 0;
        for (auto it = range.begin(); it != range.end(); ++it)
            ++count;
        return count == size_;
    }
    ZKQE_API void describe(ValueText& out) const;

private:
    std::size_t size_;
};

template <class E> class ContainsMatcher : public MatcherBase {
public:
    explicit ContainsMatcher(E element) : element_(std::move(element)) {}
    template <class T> bool match(const T& range) const {
        for (const auto& candidate : range)
            if (compareValues<Op::eq>(candidate, element_))
                return true;
        return false;
    }
    void describe(ValueText& out) const {
        out.append("contains ");
        appendAny(out, element_);
    }

private:
    E element_;
};

template <class C> class UnorderedEqualsMatcher : public MatcherBase {
public:
    explicit UnorderedEqualsMatcher(C expected) : expected_(std::move(expected)) {}
    // Each expected element pairs with one actual element at most, so
    // duplicates count: {1, 1, 2} is not {1, 2, 2} in any order.
    template <class T> bool match(const T& actual) const {
        std::vector<bool> paired;
        for (auto it = expected_.begin(); it != expected_.end(); ++it)
            paired.push_back(false);
        for (const auto& element : actual) {
            std::size_t i = 0;
            auto it = expected_.begin();
            while (it != expected_.end() && (paired[i] || !compareValues<Op::eq>(element, *it)))
                ++it, ++i;
            if (it == expected_.end())
                return false;
            paired[i] = true;
        }
        for (const bool pairedOne : paired)
            if (!pairedOne)
                return false;
        return true;
    }
    void describe(ValueText& out) const {
        out.append("equals ");
        appendAny(out, expected_);
        out.append(" in any order");
    }

private:
    C expected_;
};

template <class F> class PredicateMatcher : public MatcherBase {
public:
    PredicateMatcher(F predicate, std::string description)
        : predicate_(std::move(predicate)), description_(std::move(description)) {}
    template <class T> bool match(const T& value) const {
        return static_cast<bool>(predicate_(value));
    }
    void describe(ValueText& out) const {
        appendEscaped(out, description_.data(), description_.size());
    }

private:
    F predicate_;
    std::string description_;
};

// An operand joined with others of another kind is parenthesised:
// `a and (b or c)`; `not` always parenthesises its operand.
template <class M> void describeOperand(ValueText& out, const M& operand, int within) {
    const bool nested = M::composition != 0 && M::composition != within;
    if (nested)
        out.append("(");
    operand.describe(out);
    if (nested)
        out.append(")");
}

// `all`: both operands must match (and), else either (or).
template <class L, class R, bool all> class JoinedMatcher : public MatcherBase {
public:
    static constexpr int composition = all ? 1 : 2;
    JoinedMatcher(L left, R right) : left_(std::move(left)), right_(std::move(right)) {}
    template <class T> bool match(const T& value) const {
        return all ? left_.match(value) && right_.match(value)
                   : left_.match(value) || right_.match(value);
    }
    void describe(ValueText& out) const {
        describeOperand(out, left_, composition);
        out.append(all ? " and " : " or ");
        describeOperand(out, right_, composition);
    }

private:
    L left_;
    R right_;
};

// Reads as one operand, its own parenthesised: `not (a) and b`.
template <class M> class NotMatcher : public MatcherBase {
public:
    explicit NotMatcher(M operand) : operand_(std::move(operand)) {}
    template <class T> bool match(const T& value) const { return !operand_.match(value); }
    void describe(ValueText& out) const {
        out.append("not (");
        operand_.describe(out);
        out.append(")");
    }

private:
    M operand_;
};

template <class L, class R, class = std::enable_if_t<IsMatcher<L>::value && IsMatcher<R>::value>>
JoinedMatcher<L, R, true> operator&&(L left, R right) {
    return {std::move(left), std::move(right)};
}
template <class L, class R, class = std::enable_if_t<IsMatcher<L>::value && IsMatcher<R>::value>>
JoinedMatcher<L, R, false> operator||(L left, R right) {
    return {std::move(left), std::move(right)};
}
template <class M, class = std::enable_if_t<IsMatcher<M>::value>>
NotMatcher<M> operator!(M operand) {
    return NotMatcher<M>(std::move(operand));
}

inline StringMatcher Equals(std::string text, Case letters = Case::sensitive) {
    return {StringMatcher::Kind::equals, std::move(text), letters};
}
inline StringMatcher StartsWith(std::string prefix, Case letters = Case::sensitive) {
    return {StringMatcher::Kind::startsWith, std::move(prefix), letters};
}
inline StringMatcher EndsWith(std::string suffix, Case letters = Case::sensitive) {
    return {StringMatcher::Kind::endsWith, std::move(suffix), letters};
}
inline StringMatcher ContainsSubstring(std::string part, Case letters = Case::sensitive) {
    return {StringMatcher::Kind::contains, std::move(part), letters};
}
// ECMAScript syntax, matched against the whole string.
inline StringMatcher Matches(std::string expression, Case letters = Case::sensitive) {
    return {StringMatcher::Kind::matches, std::move(expression), letters};
}

// |value - target| <= margin; infinities equal themselves.
inline FloatMatcher WithinAbs(double target, double margin) {
    return {FloatMatcher::Kind::absolute, target, margin, false};
}
// |value - target| <= fraction × the larger of |value| and |target|.
inline FloatMatcher WithinRel(double target, double fraction) {
    return {FloatMatcher::Kind::relative, target, fraction, false};
}
// At most `ulps` representable values apart, counted at the target's
// precision; -0 and +0 are one value, NaN is never within.
inline FloatMatcher WithinUlps(float target, unsigned ulps) {
    return {FloatMatcher::Kind::ulps, target, static_cast<double>(ulps), true};
}
inline FloatMatcher WithinUlps(double target, unsigned ulps) {
    return {FloatMatcher::Kind::ulps, target, static_cast<double>(ulps), false};
}

// An element equal to `element` (C strings by content, as the value checks).
template <class E> ContainsMatcher<detail::DecayT<const E>> Contains(const E& element) {
    return ContainsMatcher<detail::DecayT<const E>>(element);
}
template <class C> UnorderedEqualsMatcher<C> UnorderedEquals(const C& expected) {
    return UnorderedEqualsMatcher<C>(expected);
}
template <class E>
UnorderedEqualsMatcher<std::vector<E>> UnorderedEquals(std::initializer_list<E> expected) {
    return UnorderedEqualsMatcher<std::vector<E>>(std::vector<E>(expected));
}
inline SizeMatcher SizeIs(std::size_t size) {
    return SizeMatcher(size);
}
// `description` says what a passing value is: "is even".
template <class F> PredicateMatcher<F> Predicate(F predicate, std::string description) {
    return {std::move(predicate), std::move(description)};
}

// A string in place of a matcher is one the text must equal.
template <class M> decltype(auto) asMatcher(const M& matcherOrText) {
    if constexpr (IsMatcher<M>::value)
        return matcherOrText;
    else
        return Equals(std::string(matcherOrText));
}

// "name is "hello", expected: starts with "bye"", the value's text taken
// from the arguments' ("name, zktest::StartsWith("bye")").
ZKQE_API Outcome newThatFailure(const char* arguments);
template <class T, class M>
Outcome checkedThat(const char* arguments, const T& value, const M& matcher) {
    if (matcher.match(value))
        return {nullptr};
    const Outcome outcome = newThatFailure(arguments);
    appendAny(*outcome.failure, value);
    outcome.failure->append(", expected: ");
    matcher.describe(*outcome.failure);
    return outcome;
}

// For the exception being handled: what it was, and what was expected.
template <class M> Outcome threwUnmatched(const char* arguments, const M& matcher) {
    const Outcome outcome = threwOther("THROWS_WITH", arguments);
    outcome.failure->append(", expected: ");
    matcher.describe(*outcome.failure);
    return outcome;
}

// The message is what() of a std::exception, or a thrown string itself, as
// the frameworks whose checks these are read one; any other exception has
// none and fails.
template <class M, class F>
Outcome throwsWith(const char* arguments, const M& matcher, F&& statement) {
    try {
        statement();
    } catch (...) {
        const char* message = currentExceptionMessage();
        return message != nullptr && matcher.match(message) ? Outcome{nullptr}
                                                            : threwUnmatched(arguments, matcher);
    }
    return threwNothing("THROWS_WITH", arguments);
}

// FLOAT_EQ and DOUBLE_EQ: at most 4 ULPs apart, NaN never, -0 as +0.
ZKQE_API Outcome floatsEqual(const char* arguments, float a, float b);
ZKQE_API Outcome doublesEqual(const char* arguments, double a, double b);

} // namespace zktest

// The matcher is the last argument, found by counting them, so the value or
// statement before it may hold commas of its own.
#define ZKQE_MATCHER_FIRST_(body, test, fatal, ...)                                                \
    ZKQE_CHECKS_CALL_(body, (test, fatal, #__VA_ARGS__,                                            \
                             ZKQE_CHECKS_CAT(ZKQE_CHECKS_TYPE_FIRST_,                              \
                                             ZKQE_CHECKS_COUNT_(__VA_ARGS__))(__VA_ARGS__)))
#define ZKQE_THAT_BODY_(test, fatal, text, matcher, ...)                                           \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, text,                     \
                    ::zktest::checkedThat(text, (__VA_ARGS__), matcher))
#define ZKQE_THROWS_WITH_BODY_(test, fatal, text, matcher, ...)                                    \
    ::zktest::Check(                                                                               \
        ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, text,                                 \
        ::zktest::throwsWith(text, ::zktest::asMatcher(matcher), [&] { (void)(__VA_ARGS__); }))
#define ZKQE_THAT_ON_(test, fatal, ...)                                                            \
    ZKQE_MATCHER_FIRST_(ZKQE_THAT_BODY_, test, fatal, __VA_ARGS__)
#define ZKQE_THROWS_WITH_ON_(test, fatal, ...)                                                     \
    ZKQE_MATCHER_FIRST_(ZKQE_THROWS_WITH_BODY_, test, fatal, __VA_ARGS__)
#define ZKQE_ULPS_EQ_ON_(test, fatal, compare, ...)                                                \
    ::zktest::Check(ZKQE_CHECK_TARGET_(test), __FILE__, __LINE__, fatal, #__VA_ARGS__,             \
                    ::zktest::compare(#__VA_ARGS__, __VA_ARGS__))

#define ZKQE_CHECK_THAT_ON(test, ...) ZKQE_THAT_ON_(test, false, __VA_ARGS__)
#define ZKQE_REQUIRE_THAT_ON(test, ...) ZKQE_THAT_ON_(test, true, __VA_ARGS__)
#define ZKQE_CHECK_THROWS_WITH_ON(test, ...) ZKQE_THROWS_WITH_ON_(test, false, __VA_ARGS__)
#define ZKQE_REQUIRE_THROWS_WITH_ON(test, ...) ZKQE_THROWS_WITH_ON_(test, true, __VA_ARGS__)
#define ZKQE_CHECK_FLOAT_EQ_ON(test, ...) ZKQE_ULPS_EQ_ON_(test, false, floatsEqual, __VA_ARGS__)
#define ZKQE_REQUIRE_FLOAT_EQ_ON(test, ...) ZKQE_ULPS_EQ_ON_(test, true, floatsEqual, __VA_ARGS__)
#define ZKQE_CHECK_DOUBLE_EQ_ON(test, ...) ZKQE_ULPS_EQ_ON_(test, false, doublesEqual, __VA_ARGS__)
#define ZKQE_REQUIRE_DOUBLE_EQ_ON(test, ...) ZKQE_ULPS_EQ_ON_(test, true, doublesEqual, __VA_ARGS__)

#define ZKQE_CHECK_THAT(...) ZKQE_CHECK_THAT_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_THAT(...) ZKQE_REQUIRE_THAT_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_CHECK_THROWS_WITH(...) ZKQE_CHECK_THROWS_WITH_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_THROWS_WITH(...) ZKQE_REQUIRE_THROWS_WITH_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_CHECK_FLOAT_EQ(...) ZKQE_CHECK_FLOAT_EQ_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_FLOAT_EQ(...) ZKQE_REQUIRE_FLOAT_EQ_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_CHECK_DOUBLE_EQ(...) ZKQE_CHECK_DOUBLE_EQ_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)
#define ZKQE_REQUIRE_DOUBLE_EQ(...) ZKQE_REQUIRE_DOUBLE_EQ_ON(ZKQE_RUNNING_TEST_, __VA_ARGS__)

#endif
