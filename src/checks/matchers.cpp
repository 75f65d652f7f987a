// SPDX-License-Identifier: MIT
// The matchers' work that needs no template: string comparison with and
// without case, regular expressions, distances between floating-point
// values, and the words that describe each matcher in a failure.
#include "zktest_matchers.h"

#include "checks/argument_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <regex>

namespace zktest {

namespace {

char foldedLetter(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameText(const char* a, const char* b, std::size_t size, Case letters) {
    for (std::size_t i = 0; i < size; ++i)
        if (a[i] != b[i] &&
            (letters == Case::sensitive || foldedLetter(a[i]) != foldedLetter(b[i])))
            return false;
    return true;
}

// Sign and magnitude mapped onto one unsigned scale in the values' order,
// so that the distance of two values is the count of values between them:
// -0 and +0 land on the same point, the middle of the scale.
template <class Bits> Bits orderedBits(Bits bits) {
    const Bits sign = static_cast<Bits>(Bits(1) << (sizeof(Bits) * 8 - 1));
    return (bits & sign) != 0 ? static_cast<Bits>(~bits + 1) : static_cast<Bits>(sign | bits);
}

template <class Bits, class Float> Bits ulpsBetween(Float a, Float b) {
    Bits aBits, bBits;
    std::memcpy(&aBits, &a, sizeof a);
    std::memcpy(&bBits, &b, sizeof b);
    const Bits x = orderedBits(aBits), y = orderedBits(bBits);
    return x > y ? x - y : y - x;
}

std::uint64_t ulpsBetween(double a, double b, bool single) {
    if (single)
        return ulpsBetween<std::uint32_t>(static_cast<float>(a), static_cast<float>(b));
    return ulpsBetween<std::uint64_t>(a, b);
}

constexpr std::uint64_t kEqualUlps = 4;

// "1 vs 1.0000006, 5 ULPs apart, more than 4", or what makes NaN unequal.
Outcome ulpsFailure(const char* kind, const char* arguments, double a, double b, bool single,
                    std::uint64_t ulps) {
    const Outcome outcome = newFailure();
    ValueText& out = *outcome.failure;
    out.append(kind);
    out.append("(");
    out.append(arguments);
    out.append("): ");
    if (single) {
        appendFloat(out, static_cast<float>(a));
        out.append(" vs ");
        appendFloat(out, static_cast<float>(b));
    } else {
        appendValue(out, a);
        out.append(" vs ");
        appendValue(out, b);
    }
    if (std::isnan(a) || std::isnan(b))
        return out.append(", and NaN equals nothing"), outcome;
    out.append(", ");
    appendValue(out, static_cast<unsigned long long>(ulps));
    out.append(" ULPs apart, more than ");
    appendValue(out, static_cast<unsigned long long>(kEqualUlps));
    return outcome;
}

Outcome ulpsEqual(const char* kind, const char* arguments, double a, double b, bool single) {
    const std::uint64_t ulps = ulpsBetween(a, b, single);
    if (!std::isnan(a) && !std::isnan(b) && ulps <= kEqualUlps)
        return {nullptr};
    return ulpsFailure(kind, arguments, a, b, single, ulps);
}

} // namespace

bool StringMatcher::matchText(const char* text, std::size_t size) const {
    const char* const expected = expected_.data();
    const std::size_t length = expected_.size();
    switch (kind_) {
    case Kind::equals:
        return size == length && sameText(text, expected, length, letters_);
    case Kind::startsWith:
        return size >= length && sameText(text, expected, length, letters_);
    case Kind::endsWith:
        return size >= length && sameText(text + (size - length), expected, length, letters_);
    case Kind::contains:
        for (std::size_t at = 0; at + length <= size; ++at)
            if (sameText(text + at, expected, length, letters_))
                return true;
        return false;
    case Kind::matches:
        break;
    }
    auto syntax = std::regex::ECMAScript;
    if (letters_ == Case::insensitive)
        syntax |= std::regex::icase;
    return std::regex_match(text, text + size, std::regex(expected_, syntax));
}

bool StringMatcher::matchCString(const char* text) const {
    return text != nullptr && matchText(text, std::strlen(text));
}

void StringMatcher::describe(ValueText& out) const {
    static const char* const verbs[] = {"equals ", "starts with ", "ends with ", "contains ",
                                        "matches the regular expression "};
    out.append(verbs[static_cast<int>(kind_)]);
    appendQuoted(out, expected_.data(), expected_.size());
    if (letters_ == Case::insensitive)
        out.append(" (ignoring case)");
}

bool FloatMatcher::matchNumber(double value) const {
    if (value == target_)
        return true;
    const double difference = std::fabs(value - target_);
    switch (kind_) {
    case Kind::absolute:
        return difference <= margin_;
    case Kind::relative:
        return difference <= margin_ * std::fmax(std::fabs(value), std::fabs(target_));
    case Kind::ulps:
        break;
    }
    return !std::isnan(value) && !std::isnan(target_) &&
           static_cast<double>(ulpsBetween(value, target_, single_)) <= margin_;
}

void FloatMatcher::describe(ValueText& out) const {
    out.append("is within ");
    if (kind_ == Kind::ulps) {
        appendValue(out, static_cast<unsigned long long>(margin_));
        out.append(" ULPs");
    } else if (kind_ == Kind::relative) {
        // Not the value printer's shortest form, which writes 50 as 5e+01.
        char percent[32];
        std::snprintf(percent, sizeof percent, "%.15g%%", margin_ * 100);
        out.append(percent);
    } else {
        appendValue(out, margin_);
    }
    out.append(" of ");
    if (single_)
        appendFloat(out, static_cast<float>(target_));
    else
        appendValue(out, target_);
}

void SizeMatcher::describe(ValueText& out) const {
    out.append("has size ");
    appendValue(out, static_cast<unsigned long long>(size_));
}

Outcome newThatFailure(const char* arguments) {
    const char* end = nullptr;
    for (const char* comma = zkqe::topLevelComma(arguments); comma != nullptr;
         comma = zkqe::topLevelComma(comma + 1))
        end = comma;
    const Outcome outcome = newFailure();
    outcome.failure->append(arguments, static_cast<std::size_t>(end - arguments));
    outcome.failure->append(" is ");
    return outcome;
}

Outcome floatsEqual(const char* arguments, float a, float b) {
    return ulpsEqual("FLOAT_EQ", arguments, a, b, true);
}

Outcome doublesEqual(const char* arguments, double a, double b) {
    return ulpsEqual("DOUBLE_EQ", arguments, a, b, false);
}

} // namespace zktest
