// qe_filebuf: opening modes, the closed state, standard error, raw writes
// with seek and tell, and UTF-8 output of 16-bit strings.
#include "stream_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using stream_test::bytes;
using zktest_support::asWritten;
using zktest_support::readFile;
using zktest_support::TempDir;
using zktest_support::writeFile;

// Two buffers on one FILE would close it twice: sharing goes through handles.
static_assert(!std::is_copy_constructible_v<qe_filebuf> && !std::is_copy_assignable_v<qe_filebuf>,
              "a file buffer must not be copyable");

TEST(FileBufferClosedState, NewBufferWritesNothingAndAnswersMinusOne) {
    qe_filebuf buffer;
    EXPECT_EQ(0, buffer.is_open());
    EXPECT_EQ(0ul, buffer.write("abc", 1, 3));
    EXPECT_EQ(-1, buffer.puts("abc"));
    EXPECT_EQ(-1, buffer.flush());
    EXPECT_EQ(-1, buffer.seek(0));
    EXPECT_EQ(-1, buffer.seek(0, SEEK_END));
    EXPECT_EQ(-1, buffer.tell());
    buffer.close();
    EXPECT_EQ(0, buffer.is_open());
}

TEST(FileBufferClosedState, FlushWithoutFileLeavesOtherStreamsUnflushed) {
    qe_filebuf closed;
    int result = 0;
    EXPECT_TRUE(stream_test::leavesOtherStreamsUnflushed([&] { result = closed.flush(); }));
    EXPECT_EQ(-1, result);
}

TEST(FileBufferOpening, AppendKeepsContentsAndTruncateEmpties) {
    TempDir dir;
    const std::string path = dir.file("log.txt");
    writeFile(path, "old|");
    {
        qe_filebuf buffer(path.c_str(), qe_filebuf::append);
        ASSERT_EQ(1, buffer.is_open());
        EXPECT_EQ(3, buffer.puts("new"));
    }
    EXPECT_EQ("old|new", readFile(path));
    {
        qe_filebuf buffer(path.c_str(), qe_filebuf::truncate);
        buffer.puts("fresh");
    }
    EXPECT_EQ("fresh", readFile(path));
}

TEST(FileBufferOpening, EveryModeOtherThanAppendTruncates) {
    TempDir dir;
    const std::string path = dir.file("log.txt");
    for (int mode : {2, -1, 1000}) {
        writeFile(path, "old|");
        {
            qe_filebuf buffer(path.c_str(), static_cast<qe_filebuf::create_mode>(mode));
            buffer.puts("x");
        }
        EXPECT_EQ("x", readFile(path)) << "mode " << mode;
    }
}

TEST(FileBufferOpening, SecondOpenIsIgnoredUntilClosed) {
    TempDir dir;
    const std::string first = dir.file("first.txt");
    const std::string second = dir.file("second.txt");
    qe_filebuf buffer(first.c_str(), qe_filebuf::truncate);
    buffer.open(second.c_str(), qe_filebuf::truncate);
    buffer.puts("one");
    EXPECT_FALSE(zktest_support::fileExists(second));
    buffer.close();
    buffer.close(); // a second close does nothing
    EXPECT_EQ(0, buffer.is_open());
    EXPECT_EQ("one", readFile(first));

    // A closed buffer opens again, under another name.
    buffer.open(second.c_str(), qe_filebuf::append);
    EXPECT_EQ(1, buffer.is_open());
    buffer.puts("two");
    buffer.close();
    EXPECT_EQ("two", readFile(second));
    EXPECT_EQ("one", readFile(first));
}

TEST(FileBufferOpening, MissingDirectoryLeavesBufferClosed) {
    TempDir dir;
    qe_filebuf buffer(dir.file("no-such-dir/log.txt").c_str(), qe_filebuf::truncate);
    EXPECT_EQ(0, buffer.is_open());
    EXPECT_EQ(0ul, buffer.write("x", 1, 1));
    EXPECT_EQ(-1, buffer.puts("x"));
}

TEST(FileBufferWriting, WriteSeekAndTellWorkOnBytes) {
    TempDir dir;
    const std::string path = dir.file("data.bin");
    {
        qe_filebuf buffer(path.c_str(), qe_filebuf::truncate);
        EXPECT_EQ(3ul, buffer.write("aabbcc", 2, 3));
        EXPECT_EQ(6, buffer.tell());
        EXPECT_EQ(0, buffer.seek(2));
        EXPECT_EQ(2, buffer.tell());
        EXPECT_EQ(1ul, buffer.write("XY", 2, 1));
        EXPECT_EQ(0, buffer.seek(0, SEEK_END));
        EXPECT_EQ(6, buffer.tell());
        EXPECT_EQ(0, buffer.flush());
        EXPECT_EQ("aaXYcc", readFile(path)); // flushed, still open
    }
    EXPECT_EQ("aaXYcc", readFile(path));
}

TEST(FileBufferWriting, ByteStringsOfEveryKindAreWrittenAsText) {
    TempDir dir;
    const std::string path = dir.file("text.txt");
    const signed char signedText[] = {'s', 'i', 0};
    const unsigned char unsignedText[] = {'u', 0xE9, 0};
    {
        qe_filebuf buffer(path.c_str(), qe_filebuf::truncate);
        EXPECT_EQ(5, buffer.puts("plain"));
        EXPECT_EQ(2, buffer.puts(signedText));
        EXPECT_EQ(2, buffer.puts(unsignedText));
        EXPECT_EQ(0, buffer.puts(""));
    }
    EXPECT_EQ("plainsiu\xE9", readFile(path));
}

// The UTF-8 bytes a buffer writes for `text`, and the count puts returned.
std::string utf8Of(const std::u16string& text, int* result = nullptr) {
    TempDir dir;
    const std::string path = dir.file("utf8.txt");
    {
        std::vector<unsigned short> units(text.begin(), text.end());
        units.push_back(0);
        qe_filebuf buffer(path.c_str(), qe_filebuf::truncate);
        const int written = buffer.puts(units.data());
        if (result != nullptr)
            *result = written;
    }
    return readFile(path);
}

TEST(FileBufferUtf16, EncodesEveryLengthOfUtf8) {
    int result = 0;
    EXPECT_EQ("Hi", utf8Of(u"Hi", &result));
    EXPECT_EQ(2, result);
    EXPECT_EQ(bytes({0xC3, 0xA9}), utf8Of(u"\u00E9", &result));
    EXPECT_EQ(2, result);
    EXPECT_EQ(bytes({0xDF, 0xBF}), utf8Of(u"\u07FF"));
    EXPECT_EQ(bytes({0xE2, 0x82, 0xAC}), utf8Of(u"\u20AC", &result));
    EXPECT_EQ(3, result);
    EXPECT_EQ(bytes({0xEF, 0xBF, 0xBF}), utf8Of(u"\uFFFF"));
    // A surrogate pair is one character of four bytes.
    EXPECT_EQ(bytes({0xF0, 0x9F, 0x98, 0x80}), utf8Of(u"\U0001F600", &result));
    EXPECT_EQ(4, result);
    EXPECT_EQ(bytes({0xF4, 0x8F, 0xBF, 0xBF}), utf8Of(u"\U0010FFFF"));
    EXPECT_EQ(std::string("a\xC3\xA9z"), utf8Of(u"a\u00E9z"));
}

TEST(FileBufferUtf16, UnpairedSurrogatesBecomeReplacementCharacters) {
    const std::string replacement = bytes({0xEF, 0xBF, 0xBD});
    const char16_t highThenLetter[] = {0xD800, u'A', 0};
    const char16_t lowAlone[] = {u'A', 0xDC00, 0};
    const char16_t highAtEnd[] = {0xDBFF, 0};
    const char16_t lowThenHigh[] = {0xDC00, 0xD800, 0};
    EXPECT_EQ(replacement + "A", utf8Of(highThenLetter));
    EXPECT_EQ("A" + replacement, utf8Of(lowAlone));
    EXPECT_EQ(replacement, utf8Of(highAtEnd));
    EXPECT_EQ(replacement + replacement, utf8Of(lowThenHigh));
}

TEST(FileBufferUtf16, LongStringsAreWrittenWholeAndCounted) {
    std::u16string text;
    std::string expected;
    for (int i = 0; i < 700; ++i) {
        text += u"\u00E9\U0001F600";
        expected += "\xC3\xA9\xF0\x9F\x98\x80";
    }
    int result = 0;
    EXPECT_EQ(expected, utf8Of(text, &result));
    EXPECT_EQ(static_cast<int>(expected.size()), result);
}

TEST(FileBufferUtf16, NullEmptyAndClosedBuffer) {
    int result = -2;
    EXPECT_EQ("", utf8Of(u"", &result));
    EXPECT_EQ(0, result);
    // A null string is an empty one.
    qe_filebuf closed;
    EXPECT_EQ(0, closed.puts(static_cast<const unsigned short*>(nullptr)));
    const unsigned short text[] = {0x41, 0};
    EXPECT_EQ(-1, closed.puts(text));
}

ZKTEST_CHILD_SCENARIO(stderr_buffer_closed) {
    qe_filebuf buffer("/dev/stderr", qe_filebuf::truncate);
    if (buffer.is_open() != 1)
        return 2;
    buffer.puts("through the buffer\n");
    buffer.close();
    if (buffer.is_open() != 0)
        return 3;
    if (std::fputs("still writable\n", stderr) < 0)
        return 4;
    return 0;
}

TEST(FileBufferStandardStreams, ClosingStandardErrorLeavesItOpen) {
    const auto result = zktest_support::runChild("stderr_buffer_closed");
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(asWritten("through the buffer\nstill writable\n"), result.err);
    EXPECT_EQ("", result.out);
}

} // namespace
