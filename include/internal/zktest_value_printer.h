// SPDX-License-Identifier: MIT
// Not an interface: machinery that the value checks of zktest_checks.h
// expand to, reached only through that header. Anything here may change or
// go without notice.
//
// The value printer of the value checks: the exported formatters behind
// every value and message, and the templates that pick a formatter for a
// value's type.
#ifndef ZKTEST_INTERNAL_VALUE_PRINTER_H
#define ZKTEST_INTERNAL_VALUE_PRINTER_H

#include "zkqe_export.h"
#include "internal/zktest_check_site.h"

// Few and small standard headers: every file of cases pays for them, which
// is why the few type traits the value printer needs are written below.
#include <cstddef>
#include <iosfwd>

namespace zktest {

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
// "a vs b" from two printed values; long ones are cut around where they
// first differ, and that place is named.
ZKQE_API void appendComparedValues(ValueText& out, const ValueText& a, const ValueText& b);
// The exception being handled: its type and, for a std::exception, what().
ZKQE_API void appendCurrentException(ValueText& out);
// The message of the exception being handled: what() of a std::exception, or
// a thrown std::string or C string; null for anything else. It lives as long
// as the handler that asked.
ZKQE_API const char* currentExceptionMessage();
// "a == b" from the text "a, b" of a two-argument check, when the text has
// exactly one comma outside brackets and quotes; else "NAME(a, b)".
ZKQE_API void appendBinaryText(ValueText& out, const char* name, const char* op,
                               const char* arguments);

namespace detail {

template <class...> using VoidT = void;
template <class T> T&& declval() noexcept;

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

} // namespace zktest

#endif
