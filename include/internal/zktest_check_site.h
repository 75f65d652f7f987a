// SPDX-License-Identifier: MIT
// Not an interface: machinery that the check macros of zkqe_check.h and
// zktest_checks.h expand to, reached only through them. Anything here may
// change or go without notice.
//
// What every check site calls: the text a failure is built in, the Check
// object that reports an outcome, the outcomes of the truth and tolerance
// checks, and the helper macros of zkqe_check.h's macros. Plain C++11, as
// zktest.h is; the value checks of zktest_checks.h add their machinery in
// zktest_value_checks.h.
#ifndef ZKTEST_INTERNAL_CHECK_SITE_H
#define ZKTEST_INTERNAL_CHECK_SITE_H

#include "zkqe_export.h"
#include "internal/zktest_require_abort.h"

#include <cstddef>

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

namespace detail {

template <bool B> struct Bool { static constexpr bool value = B; };
using True = Bool<true>;
using False = Bool<false>;
template <bool, class A, class B> struct Pick { using type = A; };
template <class A, class B> struct Pick<false, A, B> { using type = B; };
// The compilers' own traits, wrapped: a signature may not name them bare.
template <class Base, class Derived> struct IsBaseOf : Bool<__is_base_of(Base, Derived)> {};

} // namespace detail

// What a check saw: null when it passed, else its failure text (on the
// heap, owned by the Check it goes to). Trivially destructible, so a check
// site needs no clean-up of its own.
struct Outcome {
    ValueText* failure;
};
ZKQE_API Outcome newFailure();

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

    // A message part. Its formatting is the value printer's, which
    // zktest_checks.h brings: appendMessage is found then, by the argument's
    // namespace; without that header a message does not compile.
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

// What the check macros without a test object report to: the test that
// runs on the calling thread, else the process's (see go()). A check made
// while none runs ends the process with a message naming its site.
class ZKQE_API RunningTest {
public:
    bool assertTrue(const char* tag, const char* fileName, int lineNumber, bool condition,
                    const char* id);
    bool assertSmall(const char* tag, const char* fileName, int lineNumber, double value,
                     const char* id);
};
// An object, not a function, so that a check site makes no extra call.
extern ZKQE_API RunningTest theRunningTest;
#define ZKQE_RUNNING_TEST_ ::zktest::theRunningTest

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

} // namespace zktest

#define ZKQE_CHECKS_CAT_(a, b) a##b
#define ZKQE_CHECKS_CAT(a, b) ZKQE_CHECKS_CAT_(a, b)

// The condition's own text is the failure text. zktest_value_checks.h, which
// brings the value printer, redefines this macro to add the values a
// comparison saw: a macro, so every check expanded after it sees that.
#define ZKQE_TRUTH_CHECK_(target, fatal, ...)                                                      \
    ::zktest::Check(target, __FILE__, __LINE__, fatal, #__VA_ARGS__,                               \
                    ::zktest::truth(#__VA_ARGS__, static_cast<bool>(__VA_ARGS__)))

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

// The number of arguments, up to eight: NEAR takes two or three, and
// THROWS_AS (zktest_value_checks.h) finds its type as the last one.
#define ZKQE_CHECKS_COUNT_(...) ZKQE_CHECKS_COUNT_I_(__VA_ARGS__, 8, 7, 6, 5, 4, 3, 2, 1, 0)
#define ZKQE_CHECKS_COUNT_I_(a1, a2, a3, a4, a5, a6, a7, a8, n, ...) n

#endif
