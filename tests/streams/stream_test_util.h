// Helpers shared by the stream tests: write through a fresh stream on a
// temporary file and read back exactly the bytes that reached it.
#ifndef ZKTEST_TESTS_STREAMS_UTIL_H
#define ZKTEST_TESTS_STREAMS_UTIL_H

#include "zktest.h"
#include "zktest_support.h"

#include <cstdio>
#include <initializer_list>
#include <string>

namespace stream_test {

// The bytes a stream on a new file holds after `write` ran and the stream
// was destroyed (which closes the file).
template <class Write> std::string writtenBy(Write&& write) {
    zktest_support::TempDir dir;
    const std::string path = dir.file("out.txt");
    {
        qe_ofstream stream(path.c_str(), qe_filebuf::truncate);
        write(stream);
    }
    return zktest_support::readFile(path);
}

// A byte string from byte values, NULs included.
inline std::string bytes(std::initializer_list<int> values) {
    std::string text;
    for (int value : values)
        text += static_cast<char>(value);
    return text;
}

// Whether `flushClosed` (a flush of something with no file open) left the
// unflushed text of another, unrelated stream in its buffer, as it must: a
// flush of every stream of the process would have written it out.
template <class Flush> bool leavesOtherStreamsUnflushed(Flush&& flushClosed) {
    zktest_support::TempDir dir;
    const std::string path = dir.file("other.txt");
    FILE* other = std::fopen(path.c_str(), "wb");
    if (other == nullptr)
        return false;
    std::fputs("pending", other);
    flushClosed();
    const bool untouched = zktest_support::readFile(path).empty();
    std::fclose(other);
    return untouched && zktest_support::readFile(path) == "pending";
}

} // namespace stream_test

#endif
