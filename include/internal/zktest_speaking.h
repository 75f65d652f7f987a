// SPDX-License-Identifier: MIT
// Not an interface: what the headers that speak other frameworks' macros
// share. Anything here may change or go without notice.
#ifndef ZKTEST_INTERNAL_SPEAKING_H
#define ZKTEST_INTERNAL_SPEAKING_H

#include "zktest_checks.h"

#include <cstring>
#include <ostream>
#include <type_traits>

namespace zktest {

// The comparisons and printing of the Approx classes; `Approx` has
// `bool matches(double) const` and `double value() const`.
template <class Approx> struct ApproxComparisons_ {
    friend std::ostream& operator<<(std::ostream& out, const Approx& approx) {
        return out << "Approx( " << approx.value() << " )";
    }
    template <class T, class = std::enable_if_t<std::is_arithmetic<T>::value>>
    friend bool operator==(const T& lhs, const Approx& rhs) {
        return rhs.matches(static_cast<double>(lhs));
    }
    template <class T, class = std::enable_if_t<std::is_arithmetic<T>::value>>
    friend bool operator==(const Approx& lhs, const T& rhs) {
        return lhs.matches(static_cast<double>(rhs));
    }
    template <class T, class = std::enable_if_t<std::is_arithmetic<T>::value>>
    friend bool operator!=(const T& lhs, const Approx& rhs) {
        return !rhs.matches(static_cast<double>(lhs));
    }
    template <class T, class = std::enable_if_t<std::is_arithmetic<T>::value>>
    friend bool operator!=(const Approx& lhs, const T& rhs) {
        return !lhs.matches(static_cast<double>(rhs));
    }
};

// Inside a catch (...): an exception out of a check's own expression, as
// that check's failure at its line ("text: threw ..."); then, for a fatal
// check, the end of the run. The runner's own exceptions pass.
ZKQE_API void failOnException_(const char* file, int line, bool fatal, const char* text);
// A check whose expression may throw, for the frameworks whose checks catch.
template <class Check>
void guardedCheck_(const char* file, int line, bool fatal, const char* text, const Check& check) {
    try {
        check();
    } catch (...) {
        failOnException_(file, line, fatal, text);
    }
}

// THROWS_WITH_AS(statement, "message", Type): the exception a Type whose
// message is `message`.
template <class Type, class Statement>
Outcome throwsWith_(const char* text, const Statement& statement, const char* message) {
    try {
        statement();
    } catch (...) {
        bool typed = true;
        try {
            throw;
        } catch (const Type&) {
        } catch (...) {
            typed = false;
        }
        const char* said = currentExceptionMessage();
        if (typed && said != nullptr && std::strcmp(said, message) == 0)
            return {nullptr};
        Outcome outcome = textFailure(text);
        outcome.failure->append(": threw ");
        appendCurrentException(*outcome.failure);
        return outcome;
    }
    Outcome outcome = textFailure(text);
    outcome.failure->append(": nothing thrown");
    return outcome;
}

} // namespace zktest

#endif
