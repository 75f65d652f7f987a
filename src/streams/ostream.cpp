// SPDX-License-Identifier: MIT
// qe_ostream: the insertion operators that turn values into text in the
// stream's radix, and the manipulators.
//
// Invariants:
//  - No insertion allocates: integers are converted into fixed local
//    buffers, by hand, with exactly the digits printf's "%o", "%d"/"%u" and
//    "%x" (with the width's length modifier) would give.
//  - An insertion takes no lock itself; the one put it ends in takes the
//    concrete stream's lock once, so the text of one value is never split.
//  - An invalid radix stops the process before anything is written.
#include "zkqe_streams.h"

#include <cstdlib>
#include <type_traits>

namespace {

// Text buffers for the 16- and 32-bit types and for the wider ones; each holds
// the longest text of its types (32-bit octal: 11 digits; 64-bit octal: 22).
constexpr int kNarrowTextSize = 16;
constexpr int kWideTextSize = 64;

const char kHexDigits[] = "0123456789abcdef";

// The digit writers fill backwards from `end` and return the first digit.
template <class Unsigned> char* octalDigits(char* end, Unsigned value) {
    do {
        *--end = static_cast<char>('0' + (value & 7u));
        value >>= 3;
    } while (value != 0);
    return end;
}

template <class Unsigned> char* decimalDigits(char* end, Unsigned value) {
    do {
        *--end = static_cast<char>('0' + value % 10u);
        value /= 10u;
    } while (value != 0);
    return end;
}

template <class Unsigned> char* hexDigits(char* end, Unsigned value) {
    do {
        *--end = kHexDigits[value & 15u];
        value >>= 4;
    } while (value != 0);
    return end;
}

// The text of `value` in `radix`, in `buffer`. Octal and hexadecimal show the
// bits of the type's own width, without sign or prefix; decimal shows the
// sign of signed types.
template <class Integer, int Size>
const char* integerText(char (&buffer)[Size], Integer value, qe_ostream::radix_mode radix) {
    using Unsigned = std::make_unsigned_t<Integer>;
    static_assert(Size > 3 * sizeof(Integer) + 1, "text buffer too small");
    char* end = buffer + Size - 1;
    *end = '\0';
    const Unsigned bits = static_cast<Unsigned>(value);
    switch (radix) {
    case qe_ostream::octal:
        return octalDigits(end, bits);
    case qe_ostream::hexadecimal:
        return hexDigits(end, bits);
    case qe_ostream::decimal:
        if constexpr (std::is_signed_v<Integer>) {
            if (value < 0) {
                // The magnitude in the unsigned type: exact even for the
                // most negative value.
                char* first = decimalDigits(end, static_cast<Unsigned>(Unsigned(0) - bits));
                *--first = '-';
                return first;
            }
        }
        return decimalDigits(end, bits);
    }
    // Only a derived class can store another radix; there is no text for it.
    std::abort();
}

// Reaches the protected radix setter of any stream, as the manipulators must,
// through a pointer to the member named in a derived class.
class RadixAccess : public qe_ostream {
public:
    static void set(qe_ostream& stream, radix_mode mode) {
        (stream.*(&RadixAccess::setRadixMode))(mode);
    }
};

} // namespace

qe_ostream::qe_ostream() : radixMode(decimal) {}

qe_ostream::qe_ostream(const qe_ostream& other) : radixMode(other.radixMode) {}

qe_ostream& qe_ostream::operator=(const qe_ostream& other) {
    radixMode = other.radixMode;
    return *this;
}

qe_ostream::~qe_ostream() {}

qe_ostream::radix_mode qe_ostream::getRadixMode() const {
    return radixMode;
}

qe_ostream::radix_mode qe_ostream::setRadixMode(radix_mode mode) {
    const radix_mode previous = radixMode;
    radixMode = mode;
    return previous;
}

qe_ostream& qe_ostream::operator<<(const unsigned short* text) {
    put(text);
    return *this;
}

qe_ostream& qe_ostream::operator<<(qe_ostream& (*manipulator)(qe_ostream&)) {
    // The stream itself, whatever the manipulator returns.
    manipulator(*this);
    return *this;
}

qe_ostream& qe_ostream::operator<<(void* pointer) {
    put(pointer);
    return *this;
}

qe_ostream& qe_ostream::operator<<(long double value) {
    put(value);
    return *this;
}

qe_ostream& qe_ostream::operator<<(double value) {
    put(value);
    return *this;
}

qe_ostream& qe_ostream::operator<<(float value) {
    put(value);
    return *this;
}

qe_ostream& qe_ostream::operator<<(unsigned long long value) {
    char buffer[kWideTextSize];
    put(integerText(buffer, value, radixMode));
    return *this;
}

qe_ostream& qe_ostream::operator<<(long long value) {
    char buffer[kWideTextSize];
    put(integerText(buffer, value, radixMode));
    return *this;
}

qe_ostream& qe_ostream::operator<<(unsigned long value) {
    char buffer[kWideTextSize];
    put(integerText(buffer, value, radixMode));
    return *this;
}

qe_ostream& qe_ostream::operator<<(long value) {
    char buffer[kWideTextSize];
    put(integerText(buffer, value, radixMode));
    return *this;
}

qe_ostream& qe_ostream::operator<<(unsigned int value) {
    char buffer[kNarrowTextSize];
    put(integerText(buffer, value, radixMode));
    return *this;
}

qe_ostream& qe_ostream::operator<<(int value) {
    char buffer[kNarrowTextSize];
    put(integerText(buffer, value, radixMode));
    return *this;
}

qe_ostream& qe_ostream::operator<<(unsigned short value) {
    // Widened without sign: 65535 in hexadecimal is ffff.
    char buffer[kNarrowTextSize];
    put(integerText(buffer, static_cast<unsigned int>(value), radixMode));
    return *this;
}

qe_ostream& qe_ostream::operator<<(short value) {
    // Widened with its sign: -1 in hexadecimal is ffffffff.
    char buffer[kNarrowTextSize];
    put(integerText(buffer, static_cast<int>(value), radixMode));
    return *this;
}

qe_ostream& qe_ostream::operator<<(const unsigned char* text) {
    put(text);
    return *this;
}

qe_ostream& qe_ostream::operator<<(unsigned char value) {
    put(value);
    return *this;
}

qe_ostream& qe_ostream::operator<<(const signed char* text) {
    put(text);
    return *this;
}

qe_ostream& qe_ostream::operator<<(signed char value) {
    put(value);
    return *this;
}

qe_ostream& qe_ostream::operator<<(const char* text) {
    put(text);
    return *this;
}

qe_ostream& qe_ostream::operator<<(char value) {
    put(value);
    return *this;
}

qe_ostream& endl(qe_ostream& stream) {
    stream.put('\n');
    stream.flush();
    return stream;
}

qe_ostream& flush(qe_ostream& stream) {
    stream.flush();
    return stream;
}

qe_ostream& oct(qe_ostream& stream) {
    RadixAccess::set(stream, qe_ostream::octal);
    return stream;
}

qe_ostream& dec(qe_ostream& stream) {
    RadixAccess::set(stream, qe_ostream::decimal);
    return stream;
}

qe_ostream& hex(qe_ostream& stream) {
    RadixAccess::set(stream, qe_ostream::hexadecimal);
    return stream;
}
