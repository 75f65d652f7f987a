// SPDX-License-Identifier: MIT
// The value printer of the checks: how each kind of value reads in a failure
// text. Everything it writes is escaped, so no value can break a report's
// line structure: a control character or line break becomes its C escape
// (\n, \t, \x01...), and the quote of a string or character is escaped
// inside it. Bytes from 0x80 up pass unchanged, so UTF-8 text stays legible.
#include "internal/zktest_value_printer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>

namespace zktest {

namespace {

// A value longer than this keeps its first and last characters around an
// ellipsis: enough to tell two long strings apart at either end.
constexpr std::size_t kLongestValue = 120;
constexpr std::size_t kKeptEachEnd = 56;

void appendEscapedChar(ValueText& out, char c, char quote) {
    const unsigned char byte = static_cast<unsigned char>(c);
    char buffer[8];
    switch (c) {
    case '\n':
        return out.append("\\n");
    case '\r':
        return out.append("\\r");
    case '\t':
        return out.append("\\t");
    case '\\':
        return out.append("\\\\");
    default:
        break;
    }
    if (byte < 0x20 || byte == 0x7f) {
        std::snprintf(buffer, sizeof buffer, "\\x%02x", byte);
        return out.append(buffer);
    }
    if (c == quote && quote != '\0')
        out.append("\\");
    out.append(&c, 1);
}

} // namespace

void ValueText::release() {
    std::free(data_);
}

void ValueText::append(const char* text, std::size_t length) {
    if (size_ + length + 1 > capacity_) {
        std::size_t capacity = capacity_ == 0 ? 64 : capacity_;
        while (capacity < size_ + length + 1)
            capacity *= 2;
        char* grown = static_cast<char*>(std::realloc(data_, capacity));
        if (grown == nullptr)
            throw std::bad_alloc();
        data_ = grown;
        capacity_ = capacity;
    }
    std::memcpy(data_ + size_, text, length);
    size_ += length;
    data_[size_] = '\0';
}

void ValueText::append(const char* text) {
    append(text, std::strlen(text));
}

void appendValue(ValueText& out, long long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld", value);
    out.append(buffer);
}

void appendValue(ValueText& out, unsigned long long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%llu", value);
    out.append(buffer);
}

// The fewest significant digits that read back as the same value: each
// type is printed at its own precision and read back as itself.
template <class T> void appendShortest(ValueText& out, T value, int mostDigits) {
    char buffer[64];
    for (int digits = 1; digits <= mostDigits; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*Lg", digits, static_cast<long double>(value));
        if (std::isnan(value) || static_cast<T>(std::strtold(buffer, nullptr)) == value)
            break;
    }
    out.append(buffer);
}

void appendValue(ValueText& out, double value) {
    appendShortest(out, value, 17);
}

void appendFloat(ValueText& out, float value) {
    appendShortest(out, value, 9);
}

void appendValue(ValueText& out, long double value) {
    appendShortest(out, value, 21);
}

void appendValue(ValueText& out, bool value) {
    out.append(value ? "true" : "false");
}

void appendChar(ValueText& out, char value) {
    out.append("'");
    appendEscapedChar(out, value, '\'');
    out.append("'");
}

void appendQuoted(ValueText& out, const char* text, std::size_t length) {
    out.append("\"");
    for (std::size_t i = 0; i < length; ++i)
        appendEscapedChar(out, text[i], '"');
    out.append("\"");
}

void appendCString(ValueText& out, const char* text) {
    if (text == nullptr)
        return out.append("nullptr");
    appendQuoted(out, text, std::strlen(text));
}

// Pointers print alike on every platform (the C library's %p does not).
void appendPointer(ValueText& out, const void* pointer) {
    if (pointer == nullptr)
        return out.append("nullptr");
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pointer)));
    out.append(buffer);
}

void appendEscaped(ValueText& out, const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        appendEscapedChar(out, text[i], '\0');
}

void appendEscapedCString(ValueText& out, const char* text) {
    if (text != nullptr)
        appendEscaped(out, text, std::strlen(text));
}

int compareCStrings(const char* a, const char* b) {
    if (a == nullptr || b == nullptr)
        return (a != nullptr) - (b != nullptr);
    return std::strcmp(a, b);
}

void appendStreamed(ValueText& out, void (*write)(std::ostream&, const void*), const void* object) {
    std::ostringstream stream;
    write(stream, object);
    const std::string text = stream.str();
    appendEscaped(out, text.data(), text.size());
}

void appendUnprintable(ValueText& out, std::size_t size) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "(%zu-byte object)", size);
    out.append(buffer);
}

void shortenFrom(ValueText& out, std::size_t from) {
    const std::size_t length = out.size() - from;
    if (length <= kLongestValue)
        return;
    std::string tail(out.c_str() + out.size() - kKeptEachEnd, kKeptEachEnd);
    std::string head(out.c_str() + from, kKeptEachEnd);
    ValueText shortened;
    shortened.append(out.c_str(), from);
    shortened.append(head.data(), head.size());
    shortened.append("...");
    shortened.append(tail.data(), tail.size());
    out = std::move(shortened);
}

} // namespace zktest
