// SPDX-License-Identifier: MIT
// Not an interface: the comparisons the framework-speaking headers' Approx
// classes share. `Approx` has `bool matches(double) const`.
#ifndef ZKTEST_INTERNAL_APPROX_H
#define ZKTEST_INTERNAL_APPROX_H

#include <type_traits>

namespace zktest {

template <class Approx> struct ApproxComparisons_ {
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

} // namespace zktest

#endif
