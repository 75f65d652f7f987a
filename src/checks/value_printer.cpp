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
#include <limits>
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
    char buffer[sizeof "\\x00"];
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
    char buffer[sizeof "-9223372036854775808"];
    std::snprintf(buffer, sizeof buffer, "%lld", value);
    out.append(buffer);
}

void appendValue(ValueText& out, unsigned long long value) {
    char buffer[sizeof "18446744073709551615"];
    std::snprintf(buffer, sizeof buffer, "%llu", value);
    out.append(buffer);
}

// The fewest significant digits that read back as the same value: each
// type is printed at its own precision and read back as itself.
// The fewest digits that read back as the same value: never more than the
// type's max_digits10.
template <class T> void appendShortest(ValueText& out, T value) {
    // Said in words: an infinity through long double's printf reads as the
    // largest finite value where long double is emulated (valgrind).
    if (std::isinf(value))
        return out.append(value > 0 ? "inf" : "-inf");
    char buffer[64];
    for (int digits = 1; digits <= std::numeric_limits<T>::max_digits10; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*Lg", digits, static_cast<long double>(value));
        if (std::isnan(value) || static_cast<T>(std::strtold(buffer, nullptr)) == value)
            break;
    }
    out.append(buffer);
}

void appendValue(ValueText& out, double value) {
    appendShortest(out, value);
}

void appendFloat(ValueText& out, float value) {
    appendShortest(out, value);
}

void appendValue(ValueText& out, long double value) {
    appendShortest(out, value);
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
    char buffer[sizeof "0xffffffffffffffff"];
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
    char buffer[sizeof "(18446744073709551615-byte object)"];
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

namespace {

// Printed text is walked a character at a time, an escape the printer wrote
// ("\\n", "\\x01", ...) counting as the one character it stands for.
std::size_t printedCharLength(const char* text, std::size_t at, std::size_t size) {
    if (text[at] != '\\' || at + 1 >= size)
        return 1;
    return text[at + 1] == 'x' ? 4 : 2;
}

bool isPrintedLineBreak(const char* text, std::size_t at, std::size_t length) {
    return length == 2 && text[at] == '\\' && text[at + 1] == 'n';
}

// Where two printed values first differ. Their common part is the same
// bytes on both sides, so the difference and its line start at the same
// printed offset in each.
struct Difference {
    std::size_t at = 0;        // printed offset of the difference
    std::size_t lineStart = 0; // printed offset of its line
    std::size_t offset = 0; // characters before it, an escape as one, a shared opening quote none
    std::size_t line = 1;
    bool multiline = false;
};

Difference findDifference(const ValueText& a, const ValueText& b) {
    Difference found;
    const char* text[2] = {a.c_str(), b.c_str()};
    const std::size_t size[2] = {a.size(), b.size()};
    std::size_t i = 0;
    while (i < size[0] && i < size[1]) {
        const std::size_t n = printedCharLength(text[0], i, size[0]);
        if (n != printedCharLength(text[1], i, size[1]) || i + n > size[0] || i + n > size[1] ||
            std::memcmp(text[0] + i, text[1] + i, n) != 0)
            break;
        i += n;
        ++found.offset;
        if (isPrintedLineBreak(text[0], i - n, n)) {
            ++found.line;
            found.multiline = true;
            found.lineStart = i;
        }
    }
    found.at = i;
    // Offsets count from a string's first character, as its index does.
    if (found.offset > 0 && (text[0][0] == '"' || text[0][0] == '\''))
        --found.offset;
    for (int side = 0; side < 2 && !found.multiline; ++side)
        for (std::size_t k = found.at; k + 1 < size[side];
             k += printedCharLength(text[side], k, size[side]))
            if (isPrintedLineBreak(text[side], k, printedCharLength(text[side], k, size[side])))
                found.multiline = true;
    return found;
}

// Never starts or ends inside an escape, so a cut value still reads back.
std::size_t alignToCharacter(const char* text, std::size_t from, std::size_t to, std::size_t size) {
    std::size_t at = from;
    while (at < to) {
        const std::size_t next = at + printedCharLength(text, at, size);
        if (next > to)
            break;
        at = next;
    }
    return at;
}

constexpr std::size_t kKeptBeforeDifference = 40;

// One value's window on the difference: from its line's start, or a little
// before the difference, to its line's end or the longest value's length.
void appendWindow(ValueText& out, const ValueText& value, std::size_t difference,
                  std::size_t lineStart) {
    const char* text = value.c_str();
    const std::size_t size = value.size();
    std::size_t start = difference > kKeptBeforeDifference ? difference - kKeptBeforeDifference : 0;
    if (start < lineStart)
        start = lineStart;
    start = alignToCharacter(text, 0, start, size);
    std::size_t end = start;
    while (end < size && end - start < kLongestValue) {
        const std::size_t n = printedCharLength(text, end, size);
        if (end >= difference && isPrintedLineBreak(text, end, n))
            break;
        if (end + n - start > kLongestValue)
            break;
        end += n;
    }
    if (start > 0)
        out.append("...");
    out.append(text + start, end - start);
    if (end < size)
        out.append("...");
}

} // namespace

void appendComparedValues(ValueText& out, const ValueText& a, const ValueText& b) {
    const Difference difference = findDifference(a, b);
    const bool same = difference.at == a.size() && difference.at == b.size();
    if (same || (a.size() <= kLongestValue && b.size() <= kLongestValue)) {
        // Short values read whole; equal long ones (an ordering check) keep their ends.
        const std::size_t left = out.size();
        out.append(a.c_str(), a.size());
        shortenFrom(out, left);
        out.append(" vs ");
        const std::size_t right = out.size();
        out.append(b.c_str(), b.size());
        shortenFrom(out, right);
        return;
    }
    appendWindow(out, a, difference.at, difference.lineStart);
    out.append(" vs ");
    appendWindow(out, b, difference.at, difference.lineStart);
    char where[96];
    if (difference.multiline)
        std::snprintf(where, sizeof where, ", first difference at offset %zu, line %zu",
                      difference.offset, difference.line);
    else
        std::snprintf(where, sizeof where, ", first difference at offset %zu", difference.offset);
    out.append(where);
}

} // namespace zktest
