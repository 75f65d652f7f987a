// SPDX-License-Identifier: MIT
// ZKQECommandLineOptions: the test's argument vector joined into one text,
// every word followed by a line feed, and the plain text search that finds a
// single-letter flag and its argument in it.
//
// Ownership: the object owns `joinedLine` (malloc'ed with the exact size of
// the joined text, or null); copies duplicate it, so no two objects ever
// release the same buffer.
#include "zkqe_cmdline.h"

#include <cstdlib>
#include <cstring>

namespace {

// The whitespace class of the C locale, spelt out so neither the current
// locale nor the signedness of char can make a byte of 128 or above count.
bool isBlank(char c) {
    switch (static_cast<unsigned char>(c)) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
        return true;
    default:
        return false;
    }
}

char* duplicate(const char* text) {
    if (text == nullptr)
        return nullptr;
    const std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (copy != nullptr)
        std::memcpy(copy, text, size);
    return copy;
}

} // namespace

ZKQECommandLineOptions::ZKQECommandLineOptions() : joinedLine(nullptr) {}

ZKQECommandLineOptions::ZKQECommandLineOptions(const ZKQECommandLineOptions& other)
    : joinedLine(duplicate(other.joinedLine)) {}

ZKQECommandLineOptions& ZKQECommandLineOptions::operator=(const ZKQECommandLineOptions& other) {
    if (this != &other) {
        char* copy = duplicate(other.joinedLine);
        std::free(joinedLine);
        joinedLine = copy;
    }
    return *this;
}

ZKQECommandLineOptions::~ZKQECommandLineOptions() {
    std::free(joinedLine);
}

const char* ZKQECommandLineOptions::cmdLine() const {
    return joinedLine;
}

bool ZKQECommandLineOptions::buildCommandLine(int argc, char** argv) {
    std::size_t size = 1;
    for (int i = 0; i < argc; ++i)
        size += std::strlen(argv[i]) + 1;

    char* line = static_cast<char*>(std::malloc(size));
    std::free(joinedLine);
    // Out of memory: no line at all rather than the previous one, so no flag
    // of an earlier command line is found by mistake.
    joinedLine = line;
    if (line == nullptr)
        return false;

    char* end = line;
    for (int i = 0; i < argc; ++i) {
        const std::size_t length = std::strlen(argv[i]);
        std::memcpy(end, argv[i], length);
        end += length;
        *end++ = '\n';
    }
    *end = '\0';
    return true;
}

bool ZKQECommandLineOptions::getArgumentString(char flag, char* dst, int size) {
    if (joinedLine == nullptr || joinedLine[0] == '\0')
        return false;

    const char* found = joinedLine;
    for (;;) {
        found = std::strchr(found, '-');
        if (found == nullptr)
            return false;
        if (found[1] == flag)
            break;
        ++found;
    }

    const char* start = found + 2;
    while (isBlank(*start))
        ++start;
    if (*start == '\0') {
        dst[0] = '\0';
        return true;
    }

    // A later word that begins with '-' ends the argument.
    const char* end = std::strstr(start, "\n-");
    std::size_t length =
        end != nullptr ? static_cast<std::size_t>(end - start) : std::strlen(start);
    const std::size_t limit = size > 0 ? static_cast<std::size_t>(size) : 0;
    if (length >= limit)
        length = limit;
    std::memcpy(dst, start, length);
    dst[length] = '\0';

    // The first character is never blank after the skip above, so it stays.
    for (std::size_t i = length; i > 1 && isBlank(dst[i - 1]); --i)
        dst[i - 1] = '\0';
    return true;
}
