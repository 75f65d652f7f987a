// qe_ostream's insertion operators: integer text in every radix for every
// type, characters and strings, floating-point values, addresses, the
// manipulators and the radix rules.
#include "stream_test_util.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using stream_test::bytes;
using stream_test::writtenBy;
using zktest_support::asWritten;
using zktest_support::readFile;
using zktest_support::TempDir;

qe_ostream& (*const kRadixManipulators[])(qe_ostream&) = {oct, dec, hex};
const char* const kRadixNames[] = {"oct", "dec", "hex"};

struct RadixRow {
    std::string what;
    std::function<void(qe_ostream&)> insert;
    std::string texts[3]; // octal, decimal, hexadecimal
};

void expectRows(const std::vector<RadixRow>& rows) {
    for (const RadixRow& row : rows)
        for (int radix = 0; radix < 3; ++radix) {
            const std::string written = writtenBy([&](qe_ofstream& stream) {
                stream << kRadixManipulators[radix];
                row.insert(stream);
            });
            EXPECT_EQ(row.texts[radix], written) << row.what << " in " << kRadixNames[radix];
        }
}

template <class T> std::function<void(qe_ostream&)> inserting(T value) {
    return [value](qe_ostream& stream) { stream << value; };
}

TEST(IntegerInsertion, SixteenAndThirtyTwoBitTypesInEveryRadix) {
    expectRows({
        {"int 255", inserting(255), {"377", "255", "ff"}},
        {"int 0", inserting(0), {"0", "0", "0"}},
        {"int -1", inserting(-1), {"37777777777", "-1", "ffffffff"}},
        {"int max", inserting(INT_MAX), {"17777777777", "2147483647", "7fffffff"}},
        {"int min", inserting(INT_MIN), {"20000000000", "-2147483648", "80000000"}},
        {"unsigned max", inserting(UINT_MAX), {"37777777777", "4294967295", "ffffffff"}},
        {"unsigned 8", inserting(8u), {"10", "8", "8"}},
        {"short -1", inserting(short(-1)), {"37777777777", "-1", "ffffffff"}},
        {"short min", inserting(short(SHRT_MIN)), {"37777700000", "-32768", "ffff8000"}},
        {"short max", inserting(short(SHRT_MAX)), {"77777", "32767", "7fff"}},
        {"unsigned short max",
         inserting(static_cast<unsigned short>(65535)),
         {"177777", "65535", "ffff"}},
        {"unsigned short 16", inserting(static_cast<unsigned short>(16)), {"20", "16", "10"}},
    });
}

TEST(IntegerInsertion, SixtyFourBitTypesInEveryRadix) {
    expectRows({
        {"long long min",
         inserting(LLONG_MIN),
         {"1000000000000000000000", "-9223372036854775808", "8000000000000000"}},
        {"long long max",
         inserting(LLONG_MAX),
         {"777777777777777777777", "9223372036854775807", "7fffffffffffffff"}},
        {"long long -1", inserting(-1LL), {"1777777777777777777777", "-1", "ffffffffffffffff"}},
        {"unsigned long long max",
         inserting(ULLONG_MAX),
         {"1777777777777777777777", "18446744073709551615", "ffffffffffffffff"}},
        {"unsigned long long 2^32",
         inserting(4294967296ULL),
         {"40000000000", "4294967296", "100000000"}},
    });
}

TEST(IntegerInsertion, LongFormatsItsWholeWidth) {
    // long is 32 bits on the Windows and i386 builds, 64 on LP64 builds.
    if (sizeof(long) == 8) {
        expectRows({
            {"long min",
             inserting(LONG_MIN),
             {"1000000000000000000000", "-9223372036854775808", "8000000000000000"}},
            {"long -1", inserting(-1L), {"1777777777777777777777", "-1", "ffffffffffffffff"}},
            {"unsigned long max",
             inserting(ULONG_MAX),
             {"1777777777777777777777", "18446744073709551615", "ffffffffffffffff"}},
        });
    } else {
        ASSERT_EQ(4u, sizeof(long));
        expectRows({
            {"long min", inserting(LONG_MIN), {"20000000000", "-2147483648", "80000000"}},
            {"long -1", inserting(-1L), {"37777777777", "-1", "ffffffff"}},
            {"unsigned long max", inserting(ULONG_MAX), {"37777777777", "4294967295", "ffffffff"}},
        });
    }
    expectRows({{"long 255", inserting(255L), {"377", "255", "ff"}},
                {"unsigned long 4096", inserting(4096UL), {"10000", "4096", "1000"}}});
}

// Many values of each type against the C library's own conversions with the
// same formats, so the hand-made digits match printf's everywhere.
TEST(IntegerInsertion, AgreesWithPrintfAcrossTheRange) {
    std::vector<unsigned long long> patterns;
    unsigned long long state = 0x9E3779B97F4A7C15ULL;
    for (int i = 0; i < 400; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        // Every magnitude, not only huge values.
        patterns.push_back(state >> (i % 64));
    }
    for (int shift = 0; shift < 64; ++shift) {
        patterns.push_back(1ULL << shift);
        patterns.push_back((1ULL << shift) - 1);
    }
    const char* const formats[][3] = {
        {"%o ", "%d ", "%x "},    {"%o ", "%u ", "%x "},       {"%lo ", "%ld ", "%lx "},
        {"%lo ", "%lu ", "%lx "}, {"%llo ", "%lld ", "%llx "}, {"%llo ", "%llu ", "%llx "},
    };
    for (int radix = 0; radix < 3; ++radix) {
        std::string expected;
        const std::string written = writtenBy([&](qe_ofstream& stream) {
            stream << kRadixManipulators[radix];
            char text[64];
            for (unsigned long long bits : patterns) {
                std::snprintf(text, sizeof text, formats[0][radix], static_cast<int>(bits));
                expected += text;
                stream << static_cast<int>(bits) << " ";
                std::snprintf(text, sizeof text, formats[1][radix], static_cast<unsigned>(bits));
                expected += text;
                stream << static_cast<unsigned>(bits) << " ";
                std::snprintf(text, sizeof text, formats[2][radix], static_cast<long>(bits));
                expected += text;
                stream << static_cast<long>(bits) << " ";
                std::snprintf(text, sizeof text, formats[3][radix],
                              static_cast<unsigned long>(bits));
                expected += text;
                stream << static_cast<unsigned long>(bits) << " ";
                std::snprintf(text, sizeof text, formats[4][radix], static_cast<long long>(bits));
                expected += text;
                stream << static_cast<long long>(bits) << " ";
                std::snprintf(text, sizeof text, formats[5][radix], bits);
                expected += text;
                stream << bits << " ";
            }
        });
        EXPECT_EQ(expected, written) << kRadixNames[radix];
    }
}

TEST(IntegerInsertion, RadixStaysUntilChangedAndBelongsToTheStream) {
    EXPECT_EQ("255 ff 377 255", writtenBy([](qe_ofstream& stream) {
                  stream << 255 << " " << hex << 255 << " " << oct << 255 << " " << dec << 255;
              }));
    EXPECT_EQ("ff ab ff",
              writtenBy([](qe_ofstream& stream) { stream << hex << 255 << " ab " << 255; }));
}

// A stream that exposes the protected radix accessors.
class RadixStream : public qe_ofstream {
public:
    RadixStream(const char* name) : qe_ofstream(name, qe_filebuf::truncate) {}
    using qe_ostream::getRadixMode;
    using qe_ostream::setRadixMode;
};

TEST(IntegerInsertion, ManipulatorsSetTheRadixAndTheSetterReturnsThePrevious) {
    TempDir dir;
    RadixStream stream(dir.file("radix.txt").c_str());
    EXPECT_EQ(qe_ostream::decimal, stream.getRadixMode());
    stream << hex;
    EXPECT_EQ(qe_ostream::hexadecimal, stream.getRadixMode());
    stream << oct;
    EXPECT_EQ(qe_ostream::octal, stream.getRadixMode());
    EXPECT_EQ(qe_ostream::octal, stream.setRadixMode(qe_ostream::decimal));
    EXPECT_EQ(qe_ostream::decimal, stream.getRadixMode());
}

// Reports every text put on standard error at once, so a parent sees whether
// anything was written before the process stopped.
class TracingStream : public qe_ofstream {
public:
    explicit TracingStream(const char* name) : qe_ofstream(name, qe_filebuf::truncate) {}
    using qe_ostream::setRadixMode;
    qe_ostream& put(const char* text) override {
        std::fprintf(stderr, "put:%s;", text);
        std::fflush(stderr);
        return qe_ofstream::put(text);
    }
    using qe_ofstream::put;
};

ZKTEST_CHILD_SCENARIO(invalid_radix) {
    TracingStream stream(argv[1]);
    stream << "before";
    stream.setRadixMode(static_cast<qe_ostream::radix_mode>(3));
    stream << 42;
    return 0;
}

TEST(IntegerInsertion, InvalidRadixAbortsBeforeWriting) {
    TempDir dir;
    const auto result = zktest_support::runChild("invalid_radix", {dir.file("radix.txt")});
    EXPECT_TRUE(result.aborted()) << result.describe();
    // Only the text before the bad radix was put (an emulator may add its own
    // line about the abort after it).
    EXPECT_EQ(0u, result.err.find("put:before;")) << result.err;
    EXPECT_EQ(std::string::npos, result.err.find("put:", 1)) << result.err;
}

TEST(CharacterInsertion, CharactersAreBytesWhateverTheRadix) {
    EXPECT_EQ(bytes({'A', 'A', 200, 0xFF, '-'}), writtenBy([](qe_ofstream& stream) {
                  stream << hex << 'A' << oct << 'A' << static_cast<unsigned char>(200)
                         << static_cast<signed char>(-1) << '-';
              }));
}

TEST(CharacterInsertion, ByteStringsOfEveryKind) {
    const signed char signedText[] = {'s', '1', 0};
    const unsigned char unsignedText[] = {'u', 0xFE, 0};
    EXPECT_EQ("plain|s1|u\xFE|", writtenBy([&](qe_ofstream& stream) {
                  stream << hex << "plain|" << signedText << "|" << unsignedText << "|";
              }));
}

TEST(CharacterInsertion, SixteenBitStringsAreWrittenAsUtf8) {
    const unsigned short text[] = {'a', 0xE9, 0x20AC, 0xD83D, 0xDE00, 0xD800, 0};
    EXPECT_EQ(bytes({'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80, 0xEF, 0xBF, 0xBD}),
              writtenBy([&](qe_ofstream& stream) { stream << text; }));
}

TEST(FloatingInsertion, FloatDoubleAndLongDoubleFormats) {
    EXPECT_EQ("1.500000", writtenBy([](qe_ofstream& stream) { stream << 1.5f; }));
    EXPECT_EQ("1.5", writtenBy([](qe_ofstream& stream) { stream << 1.5; }));
    EXPECT_EQ("1.5", writtenBy([](qe_ofstream& stream) { stream << 1.5L; }));
    EXPECT_EQ("-0.100000|1E+20|1E-05|123457|0.0001|1E-10|INF", writtenBy([](qe_ofstream& stream) {
                  stream << -0.1f << "|" << 1e20 << "|" << 1e-5 << "|" << 123456.7 << "|" << 0.0001
                         << "|" << 1e-10L << "|" << std::numeric_limits<double>::infinity();
              }));
    // The widest float still fits the formatting buffer.
    EXPECT_EQ("340282346638528859811704183484516925440.000000", writtenBy([](qe_ofstream& stream) {
                  stream << 3.40282346638528859811704183484516925440e38f;
              }));
}

TEST(PointerInsertion, UpperCaseDigitsPaddedToThePointerWidth) {
    const std::size_t width = 2 * sizeof(void*);
    void* small = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x1234));
    void* letters = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xABCDEF));
    void* top = reinterpret_cast<void*>(~static_cast<std::uintptr_t>(0));
    EXPECT_EQ(std::string(width - 4, '0') + "1234",
              writtenBy([&](qe_ofstream& stream) { stream << small; }));
    EXPECT_EQ(std::string(width - 6, '0') + "ABCDEF",
              writtenBy([&](qe_ofstream& stream) { stream << hex << letters; }));
    EXPECT_EQ(std::string(width, 'F'), writtenBy([&](qe_ofstream& stream) { stream << top; }));
    EXPECT_EQ(std::string(width, '0'),
              writtenBy([&](qe_ofstream& stream) { stream << static_cast<void*>(nullptr); }));
    EXPECT_TRUE(width == 8 || width == 16);
}

qe_ofstream* elsewhere = nullptr;
qe_ostream& otherStream(qe_ostream&) {
    return *elsewhere;
}

TEST(Manipulators, InsertingAManipulatorReturnsTheStreamItself) {
    TempDir dir;
    qe_ofstream stream(dir.file("a.txt").c_str(), qe_filebuf::truncate);
    qe_ofstream other(dir.file("b.txt").c_str(), qe_filebuf::truncate);
    elsewhere = &other;
    EXPECT_EQ(&stream, &(stream << otherStream));
    EXPECT_EQ(&stream, &(stream << endl));
    EXPECT_EQ(&stream, &(stream << flush));
    EXPECT_EQ(&stream, &(stream << hex));
    elsewhere = nullptr;
}

TEST(Manipulators, EndlWritesOneLineFeedAndFlushes) {
    TempDir dir;
    const std::string path = dir.file("endl.txt");
    qe_ofstream stream(path.c_str(), qe_filebuf::truncate);
    stream << "line" << endl;
    EXPECT_EQ(asWritten("line\n"), readFile(path)); // flushed: the file is still open
    stream << "more" << flush;
    EXPECT_EQ(asWritten("line\nmore"), readFile(path));
    stream << "unflushed";
    EXPECT_EQ(asWritten("line\nmore"), readFile(path));
}

} // namespace
