// SPDX-License-Identifier: MIT
// qe_ofstream: a stream on a file, writing through a qe_filebuf that it
// shares with its copies.
//
// Invariants:
//  - Each put takes the shared buffer's lock exactly once (inside the
//    buffer's write or puts); text is formatted before, outside the lock.
//  - Raw puts write little-endian bytes of the interface's widths: 2 for
//    short, 4 for int and long (the low-order bytes of a wider long), 8 for
//    long long.
//  - A stream whose buffer or handle record could not be allocated writes
//    nothing: every operation first checks that a buffer is there.
//  - The handle is not synchronised: a stream and its copies are created,
//    assigned and destroyed by one thread at a time.
#include "zkqe_streams.h"

#include <cstdint>
#include <cstdio>
#include <new>

namespace {

// Formatted floating-point values and addresses fit in this many characters.
constexpr int kFormattedSize = 64;

// Writes the `Bytes` low-order bytes of `value`, least significant first, in
// one write (one hold of the buffer's lock); nothing without a buffer.
template <int Bytes, class Integer> void putLittleEndian(qe_filebuf* buffer, Integer value) {
    if (buffer == nullptr)
        return;
    const auto bits = static_cast<unsigned long long>(value);
    unsigned char bytes[Bytes];
    for (int i = 0; i < Bytes; ++i)
        bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
    buffer->write(bytes, 1, Bytes);
}

} // namespace

qe_ofstream::qe_ofstream() : sharedBuf(new (std::nothrow) qe_filebuf) {}

qe_ofstream::qe_ofstream(const char* name, qe_filebuf::create_mode mode) : qe_ofstream() {
    open(name, mode);
}

qe_ofstream::qe_ofstream(qe_ofstream& other) : qe_ostream(other), sharedBuf(other.sharedBuf) {}

qe_ofstream& qe_ofstream::operator=(qe_ofstream& other) {
    // The radix stays this stream's own; only the buffer is shared.
    sharedBuf = other.sharedBuf;
    return *this;
}

qe_ofstream::~qe_ofstream() {}

void qe_ofstream::open(const char* name, qe_filebuf::create_mode mode) {
    if (qe_filebuf* buffer = sharedBuf())
        buffer->open(name, mode);
}

void qe_ofstream::close() {
    if (qe_filebuf* buffer = sharedBuf())
        buffer->close();
}

int qe_ofstream::is_open() const {
    qe_filebuf* buffer = sharedBuf();
    return buffer == nullptr ? 0 : buffer->is_open();
}

qe_ostream& qe_ofstream::flush() {
    if (qe_filebuf* buffer = sharedBuf())
        buffer->flush();
    return *this;
}

qe_ostream& qe_ofstream::seekp(int offset, int origin) {
    if (qe_filebuf* buffer = sharedBuf())
        buffer->seek(offset, origin);
    return *this;
}

qe_ostream& qe_ofstream::seekp(int offset) {
    return seekp(offset, SEEK_SET);
}

int qe_ofstream::tellp() const {
    qe_filebuf* buffer = sharedBuf();
    return buffer == nullptr ? -1 : buffer->tell();
}

qe_refcount<qe_filebuf>& qe_ofstream::rdbuf() {
    return sharedBuf;
}

void qe_ofstream::rdbuf(qe_refcount<qe_filebuf>& other) {
    sharedBuf = other;
}

qe_ostream& qe_ofstream::put(const unsigned short* text) {
    if (qe_filebuf* buffer = sharedBuf())
        buffer->puts(text);
    return *this;
}

qe_ostream& qe_ofstream::put(void* pointer) {
    // Upper-case digits padded to the pointer's width, no prefix: the same
    // text on every platform, which "%p" does not give.
    static const char kDigits[] = "0123456789ABCDEF";
    constexpr int kDigitCount = 2 * static_cast<int>(sizeof pointer);
    static_assert(kDigitCount < kFormattedSize, "address text too long");
    char text[kFormattedSize];
    std::uintptr_t address = reinterpret_cast<std::uintptr_t>(pointer);
    for (int i = kDigitCount - 1; i >= 0; --i) {
        text[i] = kDigits[address & 15u];
        address >>= 4;
    }
    text[kDigitCount] = '\0';
    put(static_cast<const char*>(text));
    return *this;
}

qe_ostream& qe_ofstream::put(long double value) {
    char text[kFormattedSize];
    std::snprintf(text, sizeof text, "%LG", value);
    put(static_cast<const char*>(text));
    return *this;
}

qe_ostream& qe_ofstream::put(double value) {
    char text[kFormattedSize];
    std::snprintf(text, sizeof text, "%G", value);
    put(static_cast<const char*>(text));
    return *this;
}

qe_ostream& qe_ofstream::put(unsigned long long value) {
    putLittleEndian<8>(sharedBuf(), value);
    return *this;
}

qe_ostream& qe_ofstream::put(long long value) {
    putLittleEndian<8>(sharedBuf(), value);
    return *this;
}

qe_ostream& qe_ofstream::put(float value) {
    char text[kFormattedSize];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    put(static_cast<const char*>(text));
    return *this;
}

qe_ostream& qe_ofstream::put(unsigned long value) {
    // The interface's long is 32 bits: a wider long gives its low 4 bytes.
    putLittleEndian<4>(sharedBuf(), value);
    return *this;
}

qe_ostream& qe_ofstream::put(long value) {
    putLittleEndian<4>(sharedBuf(), value);
    return *this;
}

qe_ostream& qe_ofstream::put(unsigned int value) {
    putLittleEndian<4>(sharedBuf(), value);
    return *this;
}

qe_ostream& qe_ofstream::put(int value) {
    putLittleEndian<4>(sharedBuf(), value);
    return *this;
}

qe_ostream& qe_ofstream::put(unsigned short value) {
    putLittleEndian<2>(sharedBuf(), value);
    return *this;
}

qe_ostream& qe_ofstream::put(short value) {
    putLittleEndian<2>(sharedBuf(), value);
    return *this;
}

qe_ostream& qe_ofstream::put(const unsigned char* text) {
    if (qe_filebuf* buffer = sharedBuf())
        buffer->puts(text);
    return *this;
}

qe_ostream& qe_ofstream::put(unsigned char value) {
    putLittleEndian<1>(sharedBuf(), value);
    return *this;
}

qe_ostream& qe_ofstream::put(const signed char* text) {
    if (qe_filebuf* buffer = sharedBuf())
        buffer->puts(text);
    return *this;
}

qe_ostream& qe_ofstream::put(signed char value) {
    putLittleEndian<1>(sharedBuf(), value);
    return *this;
}

qe_ostream& qe_ofstream::put(const char* text) {
    if (qe_filebuf* buffer = sharedBuf())
        buffer->puts(text);
    return *this;
}

qe_ostream& qe_ofstream::put(char value) {
    putLittleEndian<1>(sharedBuf(), value);
    return *this;
}
