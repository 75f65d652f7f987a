// Streams and buffers whose lock, buffer or handle record could not be
// allocated: they write nothing and answer as closed, and nothing leaks.
//
// This program links the library statically so that its replacement of the
// non-throwing operator new also serves the library's own allocations.
#include "stream_test_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <string>

namespace {

// How many more non-throwing allocations succeed before one fails; negative
// means none fails.
std::atomic<int> allocationsBeforeFailure{-1};

void failAllocationAfter(int successes) {
    allocationsBeforeFailure = successes;
}

} // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (allocationsBeforeFailure.load() >= 0 && allocationsBeforeFailure.fetch_sub(1) == 0)
        return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

using zktest_support::fileExists;
using zktest_support::TempDir;

TEST(AllocationFailure, BufferWithoutItsLockStaysClosed) {
    TempDir dir;
    const std::string path = dir.file("buffer.txt");
    failAllocationAfter(0);
    qe_filebuf buffer(path.c_str(), qe_filebuf::truncate);
    failAllocationAfter(-1);
    EXPECT_EQ(0, buffer.is_open());
    EXPECT_FALSE(fileExists(path));
    buffer.open(path.c_str(), qe_filebuf::append);
    EXPECT_EQ(0, buffer.is_open());
    EXPECT_EQ(0ul, buffer.write("x", 1, 1));
    EXPECT_EQ(-1, buffer.puts("x"));
    const unsigned short wide[] = {'w', 0};
    EXPECT_EQ(-1, buffer.puts(wide));
    EXPECT_EQ(-1, buffer.flush());
    EXPECT_EQ(-1, buffer.seek(0));
    EXPECT_EQ(-1, buffer.tell());
    buffer.close();
    EXPECT_FALSE(fileExists(path));
}

TEST(AllocationFailure, HandleWithoutRecordIsNullAndFreesTheBuffer) {
    failAllocationAfter(2); // the buffer and its lock succeed, the record fails
    qe_refcount<qe_filebuf> noRecord(new (std::nothrow) qe_filebuf);
    failAllocationAfter(-1);
    // A leak of the buffer would show under the leak checker.
    EXPECT_EQ(nullptr, noRecord());
    qe_refcount<qe_filebuf> copy(noRecord);
    EXPECT_EQ(nullptr, copy());
}

// Exercises a stream built while the allocation numbered `failing` failed:
// 0 its buffer, 1 the buffer's lock, 2 the handle's record.
void expectSilentStream(int failing) {
    TempDir dir;
    const std::string path = dir.file("stream.txt");
    failAllocationAfter(failing);
    qe_ofstream stream(path.c_str(), qe_filebuf::truncate);
    failAllocationAfter(-1);
    EXPECT_EQ(0, stream.is_open());
    EXPECT_EQ(-1, stream.tellp());
    stream.open(path.c_str(), qe_filebuf::truncate);
    EXPECT_EQ(0, stream.is_open());
    qe_ostream* self = &stream;
    EXPECT_EQ(self, &(stream << 1 << "text" << 2.5 << 'c' << hex << 255LL << endl));
    EXPECT_EQ(self, &stream.put(1));
    EXPECT_EQ(self, &stream.seekp(0));
    qe_ofstream copy(stream);
    EXPECT_EQ(0, copy.is_open());
    copy << "copy";
    qe_ofstream healthy(dir.file("healthy.txt").c_str(), qe_filebuf::truncate);
    copy = healthy;
    EXPECT_EQ(1, copy.is_open());
    stream.close();
    EXPECT_FALSE(fileExists(path));
}

TEST(AllocationFailure, StreamWithoutBufferWritesNothing) {
    expectSilentStream(0);
}

TEST(AllocationFailure, StreamWithoutBufferLockWritesNothing) {
    expectSilentStream(1);
}

TEST(AllocationFailure, StreamWithoutHandleRecordWritesNothing) {
    expectSilentStream(2);
}

} // namespace
