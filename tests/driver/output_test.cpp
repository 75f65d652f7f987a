// qe_fopen, qe_fprintf and qe_vfprintf: the device-style names, path
// conversion in the stack and heap buffers, results, the debugger copy and
// the checks on null arguments.
#include "zktest.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using zktest_support::asWritten;
using zktest_support::readFile;
using zktest_support::runChild;
using zktest_support::TempDir;

namespace fs = std::filesystem;

// ---- device-style names ------------------------------------------------------

TEST(QeFopenNames, StandardOutputNamesGiveStdoutWhateverTheMode) {
    EXPECT_EQ(stdout, qe_fopen("/dev/stdout", "w"));
    EXPECT_EQ(stdout, qe_fopen("/dev/fd/1", "w"));
    EXPECT_EQ(stdout, qe_fopen("/dev/tty", "w")); // the terminal is standard output, not error
    EXPECT_EQ(stdout, qe_fopen("/dev/stdout", "r"));
    EXPECT_EQ(stdout, qe_fopen("/dev/tty", "a"));
}

TEST(QeFopenNames, StandardErrorNamesGiveStderr) {
    EXPECT_EQ(stderr, qe_fopen("/dev/stderr", "w"));
    EXPECT_EQ(stderr, qe_fopen("/dev/fd/2", "w"));
    EXPECT_EQ(stderr, qe_fopen("/dev/fd/2", "r"));
}

TEST(QeFopenNames, NamesThatOnlyStartOrEndLikeADeviceAreOrdinaryPaths) {
    // Opened for reading, an ordinary path that does not exist fails: proof
    // that it reached fopen instead of being taken for a standard stream.
    for (const char* path :
         {"/dev/stdout2", "/dev/stdou", "/dev/fd/10x", "/dev/stderr/", "/dev/tty/", "/dev/fd/1/"}) {
        errno = 0;
        FILE* file = qe_fopen(path, "r");
        EXPECT_EQ(nullptr, file) << path;
        EXPECT_NE(0, errno) << path;
        if (file != nullptr && file != stdout && file != stderr)
            std::fclose(file);
    }
    // Where a descriptor 10 is open this opens it; it is never a standard stream.
    FILE* fd10 = qe_fopen("/dev/fd/10", "r");
    EXPECT_NE(stdout, fd10);
    EXPECT_NE(stderr, fd10);
    if (fd10 != nullptr && fd10 != stdout && fd10 != stderr)
        std::fclose(fd10);
}

TEST(QeFopenNames, DeviceLikeNameInsideADirectoryIsAnOrdinaryFile) {
    TempDir dir;
    fs::create_directories(dir.file("dev/fd"));
    const std::string stdout2 = dir.file("dev/stdout2");
    const std::string fd10 = dir.file("dev/fd/10");
    for (const std::string& path : {stdout2, fd10}) {
        FILE* file = qe_fopen(path.c_str(), "w");
        ASSERT_NE(nullptr, file) << path;
        EXPECT_NE(stdout, file);
        EXPECT_NE(stderr, file);
        std::fputs("data\n", file);
        std::fclose(file);
        EXPECT_EQ(asWritten("data\n"), readFile(path)) << path;
    }
}

// ---- ordinary paths ----------------------------------------------------------

TEST(QeFopenPaths, EverySlashOfANestedPathIsASeparator) {
    TempDir dir;
    fs::create_directories(dir.file("logs/run"));
    const std::string path = dir.file("logs/run/r.out");
    FILE* file = qe_fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, file);
    std::fputs("report\n", file);
    std::fclose(file);
    EXPECT_EQ(asWritten("report\n"), readFile(dir.file("logs/run/r.out")));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
}

TEST(QeFopenPaths, FailedOpenReturnsNullWithErrnoFromFopen) {
    TempDir dir;
    const std::string path = dir.file("missing/r.out");
    errno = 0;
    EXPECT_EQ(nullptr, qe_fopen(path.c_str(), "w"));
    EXPECT_EQ(ENOENT, errno);
}

// A path of exactly `length` characters below `dir`, made of directories of
// at most 100 characters each and a file name; the directories are created.
std::string pathOfLength(const TempDir& dir, std::size_t length) {
    std::string path = dir.path();
    while (length - path.size() > 1 + 100 + 1 + 50) {
        path += '/' + std::string(100, 'd');
        fs::create_directory(path);
    }
    const std::size_t nameLength = length - path.size() - 1;
    path += '/' + std::string(nameLength - 4, 'f') + ".out";
    return path;
}

TEST(QeFopenPaths, PathsAroundTheStackBufferSizeOpenTheRightFile) {
    // 259 characters fit the stack buffer with their terminator; from 260 on
    // the path is converted on the heap.
    for (std::size_t length : {258u, 259u, 260u, 261u, 700u}) {
        TempDir dir;
        ASSERT_LT(dir.path().size() + 60, 258u) << "temporary directory too deep";
        const std::string path = pathOfLength(dir, length);
        ASSERT_EQ(length, path.size());
        FILE* file = qe_fopen(path.c_str(), "w");
        ASSERT_NE(nullptr, file) << "length " << length << ": " << std::strerror(errno);
        std::fputs("x", file);
        std::fclose(file);
        EXPECT_EQ("x", readFile(path)) << "length " << length;
    }
}

// ---- formatted output ----------------------------------------------------------

int viaVa(FILE* stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = qe_vfprintf(stream, format, args);
    va_end(args);
    return result;
}

TEST(QeFprintf, ResultAndTextAreThoseOfFprintf) {
    TempDir dir;
    const std::string path = dir.file("out.txt");
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, file);
    const int plain = std::fprintf(file, "%s=%d|%5.2f|%lld|%zu|%Lg\n", "abc", -42, 3.14159,
                                   -9000000000LL, static_cast<std::size_t>(18), 1.5L);
    const int helped = qe_fprintf(file, "%s=%d|%5.2f|%lld|%zu|%Lg\n", "abc", -42, 3.14159,
                                  -9000000000LL, static_cast<std::size_t>(18), 1.5L);
    const int throughVa = viaVa(file, "%c%%\n", 'z');
    std::fclose(file);
    EXPECT_EQ(33, plain);
    EXPECT_EQ(plain, helped);
    EXPECT_EQ(3, throughVa);
    EXPECT_EQ(asWritten("abc=-42| 3.14|-9000000000|18|1.5\n"
                        "abc=-42| 3.14|-9000000000|18|1.5\n"
                        "z%\n"),
              readFile(path));
}

TEST(QeFprintf, WriteErrorIsReturnedAsFprintfReturnsIt) {
    TempDir dir;
    const std::string path = dir.file("read-only.txt");
    zktest_support::writeFile(path, "");
    FILE* file = std::fopen(path.c_str(), "r");
    ASSERT_NE(nullptr, file);
    const int plain = std::fprintf(file, "%s\n", "text");
    std::clearerr(file);
    const int helped = qe_fprintf(file, "%s\n", "text");
    std::fclose(file);
    // glibc reports the failed write; mingw's formatter returns the length
    // regardless. Either way the result is passed on unchanged.
    EXPECT_EQ(plain, helped);
}

TEST(QeFprintf, TextLongerThanTheDebuggerBufferReachesTheStreamWhole) {
    TempDir dir;
    const std::string path = dir.file("long.txt");
    const std::string text(3000, 'L');
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(3002, qe_fprintf(file, "<%s>", text.c_str()));
    std::fclose(file);
    EXPECT_EQ("<" + text + ">", readFile(path));
}

// The runner starts children without a debugger, so this child sees none.
ZKTEST_CHILD_SCENARIO(null_stream_without_debugger) {
    const int result = qe_fprintf(nullptr, "nowhere %d\n", 1);
    std::fflush(stderr);
    std::printf("result %d\n", result);
    return 0;
}

TEST(QeFprintf, NullStreamWithoutDebuggerWritesNothingAndReturnsMinusOne) {
    auto child = runChild("null_stream_without_debugger");
    ASSERT_TRUE(child.exited && child.exitCode == 0) << child.describe();
    EXPECT_EQ(asWritten("result -1\n"), child.out);
    EXPECT_EQ("", child.err);
}

// ---- the debugger copy ---------------------------------------------------------

ZKTEST_CHILD_SCENARIO(debugger_copy) {
    const std::string longText(2000, 'D');
    const int both = qe_fprintf(stdout, "to stream and debugger %d\n", 1);
    const int debuggerOnly = qe_fprintf(nullptr, "debugger only %s\n", "x");
    const int longBoth = qe_fprintf(stdout, "%s\n", longText.c_str());
    const int longDebuggerOnly = qe_fprintf(nullptr, "%s", longText.c_str());
    std::printf("results %d %d %d %d\n", both, debuggerOnly, longBoth, longDebuggerOnly);
    return 0;
}

TEST(QeFprintfDebugger, StreamGetsEverythingAndDebuggerACopyCutAt1023Characters) {
    zktest_support::ChildOptions options;
    options.underDebugger = true;
    auto child = runChild("debugger_copy", {}, options);
    if (!child.debuggerAttached)
        GTEST_SKIP() << "no debugger can be attached to a child here (ptrace refused; an "
                        "emulated process cannot trace)";
    ASSERT_TRUE(child.exited && child.exitCode == 0) << child.describe();
    const std::string longText(2000, 'D');
    // With a stream the result is the stream's; without one it is the length
    // of the (cut) debugger copy.
    EXPECT_EQ(asWritten("to stream and debugger 1\n" + longText + "\nresults 25 16 2001 1023\n"),
              child.out);
    EXPECT_EQ("to stream and debugger 1\n"
              "debugger only x\n" +
                  longText.substr(0, 1023) + longText.substr(0, 1023),
              child.debugger);
}

// ---- checks on the arguments -----------------------------------------------------

ZKTEST_CHILD_SCENARIO(fopen_null_path) {
    qe_fopen(nullptr, "w");
    std::printf("still running\n");
    return 0;
}

ZKTEST_CHILD_SCENARIO(fopen_null_mode) {
    qe_fopen("never-created.out", nullptr);
    std::printf("still running\n");
    return 0;
}

ZKTEST_CHILD_SCENARIO(fopen_null_both) {
    qe_fopen(nullptr, nullptr);
    return 0;
}

TEST(QeFopenChecks, NullPathStopsTheProcessWithTheAssertionLine) {
    TempDir dir;
    zktest_support::ChildOptions options;
    options.cwd = dir.path();
    auto child = runChild("fopen_null_path", {}, options);
    EXPECT_TRUE(child.aborted()) << child.describe();
    EXPECT_EQ(asWritten("Assertion failed: path != 0, file ..\\zktest, line 165\n"), child.err);
    EXPECT_EQ("", child.out);

    child = runChild("fopen_null_both", {}, options);
    EXPECT_TRUE(child.aborted()) << child.describe();
    EXPECT_EQ(asWritten("Assertion failed: path != 0, file ..\\zktest, line 165\n"), child.err);
}

TEST(QeFopenChecks, NullModeStopsTheProcessWithTheAssertionLine) {
    TempDir dir;
    zktest_support::ChildOptions options;
    options.cwd = dir.path();
    auto child = runChild("fopen_null_mode", {}, options);
    EXPECT_TRUE(child.aborted()) << child.describe();
    EXPECT_EQ(asWritten("Assertion failed: mode != 0, file ..\\zktest, line 166\n"), child.err);
    EXPECT_EQ("", child.out);
    EXPECT_FALSE(zktest_support::fileExists(dir.file("never-created.out")));
}

// ---- the separator -------------------------------------------------------------

TEST(PathSeparator, IsTheOneCharacterSeparatorOfThePlatform) {
    EXPECT_EQ(std::string(1, zktest_support::separator()), pathSeparator);
}

} // namespace
