// qe_ofstream: raw puts and their bytes, positions, streams sharing one
// buffer through copies, assignment and rdbuf, and streams without a file.
#include "stream_test_util.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

namespace {

using stream_test::bytes;
using stream_test::writtenBy;
using zktest_support::asWritten;
using zktest_support::readFile;
using zktest_support::TempDir;

TEST(RawPut, IntegersWriteTheirLittleEndianBytes) {
    EXPECT_EQ(bytes({1, 0, 0, 0}), writtenBy([](qe_ofstream& s) { s.put(1); }));
    EXPECT_EQ(bytes({4, 3, 2, 1}), writtenBy([](qe_ofstream& s) { s.put(0x01020304); }));
    EXPECT_EQ(bytes({0xFF, 0xFF, 0xFF, 0xFF}), writtenBy([](qe_ofstream& s) { s.put(UINT_MAX); }));
    EXPECT_EQ(bytes({1, 0}), writtenBy([](qe_ofstream& s) { s.put(short(1)); }));
    EXPECT_EQ(bytes({0x00, 0x80}), writtenBy([](qe_ofstream& s) { s.put(short(SHRT_MIN)); }));
    EXPECT_EQ(bytes({0xCD, 0xAB}),
              writtenBy([](qe_ofstream& s) { s.put(static_cast<unsigned short>(0xABCD)); }));
    EXPECT_EQ(bytes({8, 7, 6, 5, 4, 3, 2, 1}),
              writtenBy([](qe_ofstream& s) { s.put(0x0102030405060708LL); }));
    EXPECT_EQ(bytes({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
              writtenBy([](qe_ofstream& s) { s.put(-2LL); }));
    EXPECT_EQ(bytes({1, 0, 0, 0, 0, 0, 0, 0}), writtenBy([](qe_ofstream& s) { s.put(1ULL); }));
}

TEST(RawPut, LongWritesFourBytesOnEveryBuild) {
    EXPECT_EQ(bytes({1, 0, 0, 0}), writtenBy([](qe_ofstream& s) { s.put(1L); }));
    EXPECT_EQ(bytes({0xFE, 0xFF, 0xFF, 0xFF}), writtenBy([](qe_ofstream& s) { s.put(-2L); }));
    EXPECT_EQ(bytes({0x78, 0x56, 0x34, 0x12}),
              writtenBy([](qe_ofstream& s) { s.put(0x12345678UL); }));
    if (sizeof(long) > 4) {
        // Only the low-order four bytes of a wider long are written.
        const unsigned long wide = static_cast<unsigned long>(0x0A0B0C0D12345678ULL);
        EXPECT_EQ(bytes({0x78, 0x56, 0x34, 0x12}), writtenBy([&](qe_ofstream& s) { s.put(wide); }));
    }
}

TEST(RawPut, CharactersAreOneByte) {
    EXPECT_EQ("x", writtenBy([](qe_ofstream& s) { s.put('x'); }));
    EXPECT_EQ(bytes({0xFF}),
              writtenBy([](qe_ofstream& s) { s.put(static_cast<signed char>(-1)); }));
    EXPECT_EQ(bytes({200}),
              writtenBy([](qe_ofstream& s) { s.put(static_cast<unsigned char>(200)); }));
}

TEST(RawPut, LineFeedBytesFollowTheTextModeOfThePlatform) {
    // The file is a text file: where the platform translates line feeds, the
    // 0x0A byte of a raw put becomes CR LF like any other.
    const std::string expected = asWritten(bytes({0x0A, 0, 0, 0}));
    EXPECT_EQ(expected, writtenBy([](qe_ofstream& s) { s.put(10); }));
    EXPECT_EQ(asWritten("\n").size() + 3, expected.size());
}

TEST(StreamPosition, SeekpAndTellp) {
    TempDir dir;
    const std::string path = dir.file("pos.txt");
    {
        qe_ofstream s(path.c_str(), qe_filebuf::truncate);
        s << "hello";
        EXPECT_EQ(5, s.tellp());
        EXPECT_EQ(&s, &s.seekp(0));
        EXPECT_EQ(0, s.tellp());
        s << "J";
        EXPECT_EQ(&s, &s.seekp(-1, SEEK_END));
        s << "y";
        EXPECT_EQ(5, s.tellp());
    }
    EXPECT_EQ("Jelly", readFile(path));
}

TEST(StreamOpening, DefaultStreamOpensLaterAndIgnoresASecondOpen) {
    TempDir dir;
    const std::string first = dir.file("first.txt");
    const std::string second = dir.file("second.txt");
    zktest_support::writeFile(first, "kept|");
    {
        qe_ofstream s;
        EXPECT_EQ(0, s.is_open());
        s.open(first.c_str(), qe_filebuf::append);
        EXPECT_EQ(1, s.is_open());
        s.open(second.c_str(), qe_filebuf::truncate);
        s << "added";
    }
    EXPECT_EQ("kept|added", readFile(first));
    EXPECT_FALSE(zktest_support::fileExists(second));
}

// Every insertion and operation on a stream whose file did not open.
void writeEverything(qe_ofstream& s, bool& allReturnedTheStream) {
    const unsigned short wide[] = {'w', 0};
    const signed char signedText[] = {'s', 0};
    const unsigned char unsignedText[] = {'u', 0};
    qe_ostream* self = &s;
    allReturnedTheStream =
        &(s << 1 << 2u << 3L << 4UL << 5LL << 6ULL << short(7) << static_cast<unsigned short>(8)
            << 'c' << static_cast<signed char>('d') << static_cast<unsigned char>('e') << "text"
            << signedText << unsignedText << wide << 1.5f << 2.5 << 3.5L
            << static_cast<void*>(nullptr) << hex << 255 << endl
            << flush) == self &&
        &s.put(1) == self && &s.put('x') == self && &s.seekp(3) == self &&
        &s.seekp(0, SEEK_END) == self && &s.flush() == self;
}

TEST(StreamWithoutFile, WritesNothingAndReturnsItself) {
    TempDir dir;
    qe_ofstream s(dir.file("missing/out.txt").c_str(), qe_filebuf::truncate);
    EXPECT_EQ(0, s.is_open());
    bool allReturnedTheStream = false;
    writeEverything(s, allReturnedTheStream);
    EXPECT_TRUE(allReturnedTheStream);
    EXPECT_EQ(-1, s.tellp());
    EXPECT_FALSE(zktest_support::fileExists(dir.file("missing")));
}

ZKTEST_CHILD_SCENARIO(stream_without_file) {
    qe_ofstream s(argv[1], qe_filebuf::truncate);
    bool allReturnedTheStream = false;
    writeEverything(s, allReturnedTheStream);
    return allReturnedTheStream && s.is_open() == 0 ? 0 : 1;
}

TEST(StreamWithoutFile, PrintsNoMessage) {
    TempDir dir;
    const auto result =
        zktest_support::runChild("stream_without_file", {dir.file("missing/out.txt")});
    EXPECT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ("", result.out);
    EXPECT_EQ("", result.err);
}

TEST(StreamWithoutFile, FlushDoesNotFlushOtherStreams) {
    qe_ofstream closed;
    EXPECT_TRUE(stream_test::leavesOtherStreamsUnflushed([&] { closed.flush(); }));
    EXPECT_TRUE(stream_test::leavesOtherStreamsUnflushed([&] { closed << endl; }));
}

TEST(StreamSharing, CopyWritesToTheSameFileAndOutlivesTheFirst) {
    TempDir dir;
    const std::string path = dir.file("shared.txt");
    auto* first = new qe_ofstream(path.c_str(), qe_filebuf::truncate);
    *first << hex;
    qe_ofstream copy(*first);
    EXPECT_EQ((*first).rdbuf()(), copy.rdbuf()());
    *first << "first:" << 255 << ";";
    copy << "copy:" << 255 << ";"; // the copy took the radix too
    delete first;
    EXPECT_EQ(1, copy.is_open());
    copy << dec << "after:" << 255;
    // Destroying the first stream did not close the file: nothing is flushed.
    EXPECT_EQ("", readFile(path));
    copy.close();
    EXPECT_EQ("first:ff;copy:ff;after:255", readFile(path));
}

TEST(StreamSharing, CloseThroughOneClosesForAll) {
    TempDir dir;
    qe_ofstream a(dir.file("a.txt").c_str(), qe_filebuf::truncate);
    qe_ofstream b(a);
    ASSERT_EQ(1, b.is_open());
    b.close();
    EXPECT_EQ(0, a.is_open());
    EXPECT_EQ(0, b.is_open());
    // Reopening through either opens it for both.
    a.open(dir.file("c.txt").c_str(), qe_filebuf::truncate);
    EXPECT_EQ(1, b.is_open());
}

TEST(StreamSharing, AssignmentClosesTheLastHoldersFileAndKeepsItsRadix) {
    TempDir dir;
    const std::string pathA = dir.file("a.txt");
    const std::string pathB = dir.file("b.txt");
    qe_ofstream a(pathA.c_str(), qe_filebuf::truncate);
    qe_ofstream b(pathB.c_str(), qe_filebuf::truncate);
    a << hex << "a:" << 255;
    EXPECT_EQ("", readFile(pathA));
    EXPECT_EQ(&a, &(a = b));
    // A was the last holder of its buffer: its file is complete and closed.
    EXPECT_EQ("a:ff", readFile(pathA));
    EXPECT_EQ(b.rdbuf()(), a.rdbuf()());
    a << 255 << "|";
    b << 255;
    b.flush();
    EXPECT_EQ("ff|255", readFile(pathB));

    // Assigning a stream to itself keeps its (only) buffer open.
    qe_ofstream& sameStream = b;
    b = sameStream;
    qe_ofstream c(dir.file("c.txt").c_str(), qe_filebuf::truncate);
    qe_ofstream& sameC = c;
    c = sameC;
    EXPECT_EQ(1, c.is_open());
}

TEST(StreamSharing, RdbufSetterSharesAnotherHandle) {
    TempDir dir;
    const std::string pathA = dir.file("a.txt");
    const std::string pathB = dir.file("b.txt");
    qe_ofstream a(pathA.c_str(), qe_filebuf::truncate);
    qe_ofstream b(pathB.c_str(), qe_filebuf::truncate);
    qe_refcount<qe_filebuf> handle(b.rdbuf());
    a << "a";
    a.rdbuf(handle);
    EXPECT_EQ("a", readFile(pathA));
    EXPECT_EQ(b.rdbuf()(), a.rdbuf()());
    a << "to b";
    a.rdbuf(a.rdbuf()); // sharing its own handle again changes nothing
    a.flush();
    EXPECT_EQ("to b", readFile(pathB));
}

} // namespace
