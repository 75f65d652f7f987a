// SPDX-License-Identifier: MIT
// qe_filebuf: one C runtime FILE behind its own ZKQEMutex.
//
// Invariants:
//  - Every operation but the constructors and the destructor runs with the
//    buffer's lock held for its whole length, and takes no other lock.
//  - The buffer owns its FILE, except the standard error stream and a FILE
//    given to borrow(), which it only borrows: close() forgets them without
//    closing them.
//  - Lock order: the buffer's lock, then the FILE's own; an operation that
//    writes in several calls holds the FILE's lock across them, so a writer
//    holding that lock for a block of lines is never split by it. On a
//    borrowed FILE an operation that writes a line end flushes under that
//    lock.
//  - A buffer whose lock could not be allocated never opens a file, so every
//    operation on it can answer as a closed buffer without locking.
//  - Once it has borrowed a FILE (the report's stream), the buffer gathers
//    each thread's text in `pieces` and hands a thread's text over only when
//    it ends a line (or is flushed), whole, in one write under the FILE's
//    lock: the piece's "# " and its text are never parted by another
//    thread's line, and the FILE's own buffer never holds any of it.
#include "zkqe_streams.h"

#include "zkqe_mutex.h"
#include "zkqe_output.h"
#include "platform/platform.h"
#include "streams/stream_pieces.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

namespace {

// Bytes of UTF-8 gathered before they are handed to the file; the margin
// leaves room for the longest sequence (4 bytes) and the terminator.
constexpr int kUtf8ChunkSize = 256;
constexpr int kUtf8ChunkMargin = 5;

// Appends the UTF-8 form of `codePoint` (at most U+10FFFF) at `out`; returns
// the end of what it wrote.
char* appendUtf8(char* out, unsigned long codePoint) {
    if (codePoint < 0x80) {
        *out++ = static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        *out++ = static_cast<char>(0xC0 | (codePoint >> 6));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (codePoint >> 12));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (codePoint >> 18));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return out;
}

bool isHighSurrogate(unsigned unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(unsigned unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Adds one qe_fprintf result to a running total; any failure makes the
// total the failure.
int addWriteResult(int total, int result) {
    if (total < 0)
        return total;
    return result < 0 ? result : total + result;
}

// A borrowed FILE whose pieces could not be allocated: a piece that holds a
// line end goes to the OS at once, in one write, as the owner's own writers
// do; the start of a line waits in the FILE's buffer for its end.
void handOver(FILE* file, bool holdsLineEnd) {
    if (holdsLineEnd)
        std::fflush(file);
}

// Its address tells one thread's piece from another's.
thread_local char threadMark;

} // namespace

namespace zkqe {

std::size_t StreamPieces::mine() {
    for (std::size_t i = 0; i < pieces_.size(); ++i)
        if (pieces_[i].thread == &threadMark)
            return i;
    pieces_.push_back(Piece{&threadMark, std::string()});
    return pieces_.size() - 1;
}

bool StreamPieces::handOver(FILE* file, std::size_t index, std::size_t length) {
    std::string& text = pieces_[index].text;
    platform::lockFile(file);
    const bool whole = platform::writeWhole(file, text.data(), length);
    platform::unlockFile(file);
    text.erase(0, length);
    if (text.empty()) {
        if (index + 1 != pieces_.size())
            pieces_[index] = std::move(pieces_.back());
        pieces_.pop_back();
    }
    return whole;
}

bool StreamPieces::add(FILE* file, const char* text, std::size_t length) {
    if (length == 0)
        return true;
    const std::size_t index = mine();
    pieces_[index].text.append(text, length);
    if (file == nullptr || std::memchr(text, '\n', length) == nullptr)
        return true;
    return handOver(file, index, pieces_[index].text.rfind('\n') + 1);
}

void StreamPieces::handOverFinished(FILE* file) {
    for (std::size_t i = pieces_.size(); i-- > 0;) {
        const std::size_t lineEnd = pieces_[i].text.rfind('\n');
        if (lineEnd != std::string::npos)
            handOver(file, i, lineEnd + 1);
    }
}

bool StreamPieces::handOverMine(FILE* file) {
    for (std::size_t i = 0; i < pieces_.size(); ++i)
        if (pieces_[i].thread == &threadMark)
            return handOver(file, i, pieces_[i].text.size());
    return true;
}

void StreamPieces::handOverAll(qe_filebuf& buffer) {
    if (buffer.mutex == nullptr)
        return;
    ZKQEMutexGuard guard(buffer.mutex);
    StreamPieces* gathered = buffer.pieces;
    if (gathered == nullptr || buffer.file == nullptr)
        return;
    while (!gathered->pieces_.empty())
        gathered->handOver(buffer.file, 0, gathered->pieces_[0].text.size());
}

} // namespace zkqe

qe_filebuf::qe_filebuf()
    : file(nullptr), mutex(new (std::nothrow) ZKQEMutex), borrowed(false), pieces(nullptr) {}

qe_filebuf::qe_filebuf(const char* name, create_mode mode) : qe_filebuf() {
    open(name, mode);
}

qe_filebuf::~qe_filebuf() {
    close();
    delete pieces;
    delete mutex;
}

void qe_filebuf::open(const char* name, create_mode mode) {
    // Without its lock the buffer stays closed rather than write unguarded.
    if (mutex == nullptr)
        return;
    ZKQEMutexGuard guard(mutex);
    if (file == nullptr)
        file = qe_fopen(name, static_cast<int>(mode) == append ? "a" : "w");
}

void qe_filebuf::borrow(FILE* borrowedFile) {
    if (mutex == nullptr)
        return;
    ZKQEMutexGuard guard(mutex);
    if (file == nullptr && borrowedFile != nullptr) {
        file = borrowedFile;
        borrowed = true;
        if (pieces == nullptr)
            pieces = new (std::nothrow) zkqe::StreamPieces;
        if (pieces != nullptr)
            pieces->handOverFinished(file);
    }
}

void qe_filebuf::close() {
    if (mutex == nullptr)
        return;
    ZKQEMutexGuard guard(mutex);
    if (file == nullptr)
        return;
    // Standard error is borrowed: later diagnostics must still reach it.
    if (file != stderr && !borrowed)
        std::fclose(file);
    file = nullptr;
    borrowed = false;
}

// With no file open, flush, seek and tell do nothing and answer -1: a null
// FILE would make fflush flush every stream of the process.
int qe_filebuf::flush() {
    if (mutex == nullptr)
        return -1;
    ZKQEMutexGuard guard(mutex);
    if (file == nullptr)
        return -1;
    if (pieces != nullptr && !pieces->handOverMine(file))
        return EOF;
    return std::fflush(file);
}

int qe_filebuf::seek(int offset, int origin) {
    if (mutex == nullptr)
        return -1;
    ZKQEMutexGuard guard(mutex);
    return file == nullptr ? -1 : std::fseek(file, offset, origin);
}

int qe_filebuf::seek(int offset) {
    return seek(offset, SEEK_SET);
}

int qe_filebuf::tell() {
    if (mutex == nullptr)
        return -1;
    ZKQEMutexGuard guard(mutex);
    if (file == nullptr)
        return -1;
    const long position = std::ftell(file);
    // A position past what the int result holds is an error, never a wrapped number.
    if (position > INT_MAX) {
        errno = EOVERFLOW;
        return -1;
    }
    return static_cast<int>(position);
}

int qe_filebuf::is_open() {
    if (mutex == nullptr)
        return 0;
    ZKQEMutexGuard guard(mutex);
    return file != nullptr ? 1 : 0;
}

unsigned long qe_filebuf::write(const void* data, unsigned long size, unsigned long count) {
    if (mutex == nullptr)
        return 0;
    ZKQEMutexGuard guard(mutex);
    if (pieces != nullptr)
        return pieces->add(file, static_cast<const char*>(data), size * count) ? count : 0;
    if (file == nullptr)
        return 0;
    if (!borrowed)
        return static_cast<unsigned long>(std::fwrite(data, size, count, file));
    zkqe::platform::lockFile(file);
    const std::size_t written = std::fwrite(data, size, count, file);
    handOver(file, std::memchr(data, '\n', written * size) != nullptr);
    zkqe::platform::unlockFile(file);
    return static_cast<unsigned long>(written);
}

int qe_filebuf::puts(const char* text) {
    // A lockless buffer never has a file: the text can only go to an attached
    // debugger, which qe_fprintf handles without shared state.
    if (mutex == nullptr)
        return qe_fprintf(nullptr, "%s", text);
    ZKQEMutexGuard guard(mutex);
    if (pieces != nullptr) {
        // As "%s" prints it on every platform.
        const char* shown = text != nullptr ? text : "(null)";
        const std::size_t length = std::strlen(shown);
        qe_fprintf(nullptr, "%s", shown);
        return pieces->add(file, shown, length) ? static_cast<int>(length) : -1;
    }
    if (!borrowed)
        return qe_fprintf(file, "%s", text);
    zkqe::platform::lockFile(file);
    const int result = qe_fprintf(file, "%s", text);
    handOver(file, text != nullptr && std::strchr(text, '\n') != nullptr);
    zkqe::platform::unlockFile(file);
    return result;
}

int qe_filebuf::puts(const signed char* text) {
    return puts(reinterpret_cast<const char*>(text));
}

int qe_filebuf::puts(const unsigned char* text) {
    return puts(reinterpret_cast<const char*>(text));
}

int qe_filebuf::puts(const unsigned short* text) {
    // A null string is an empty one: nothing to write.
    if (text == nullptr)
        return 0;
    // The whole string is written under one hold of the lock, so it is never
    // split by another thread's output, however many chunks it takes.
    ZKQEMutex* held = mutex;
    if (held != nullptr)
        held->acquire();
    if (file != nullptr)
        zkqe::platform::lockFile(file);
    auto writeChunk = [this](const char* text, std::ptrdiff_t length) {
        if (pieces == nullptr)
            return qe_fprintf(file, "%s", text);
        qe_fprintf(nullptr, "%s", text);
        return pieces->add(file, text, static_cast<std::size_t>(length)) ? static_cast<int>(length)
                                                                         : -1;
    };
    char chunk[kUtf8ChunkSize];
    char* out = chunk;
    int total = 0;
    bool holdsLineEnd = false;
    for (const unsigned short* unit = text; *unit != 0; ++unit) {
        unsigned long codePoint = *unit;
        holdsLineEnd = holdsLineEnd || codePoint == '\n';
        if (isHighSurrogate(*unit) && isLowSurrogate(unit[1])) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (unit[1] - 0xDC00u);
            ++unit;
        } else if (isHighSurrogate(*unit) || isLowSurrogate(*unit)) {
            // A surrogate without its partner encodes no character.
            codePoint = 0xFFFD;
        }
        out = appendUtf8(out, codePoint);
        if (out - chunk > kUtf8ChunkSize - kUtf8ChunkMargin) {
            *out = '\0';
            total = addWriteResult(total, writeChunk(chunk, out - chunk));
            out = chunk;
        }
    }
    // The last (possibly empty) chunk always goes out, so an empty string
    // answers like an empty byte string: 0 when open, -1 when closed.
    *out = '\0';
    total = addWriteResult(total, writeChunk(chunk, out - chunk));
    if (file != nullptr) {
        if (borrowed && pieces == nullptr)
            handOver(file, holdsLineEnd);
        zkqe::platform::unlockFile(file);
    }
    if (held != nullptr)
        held->release();
    return total;
}
