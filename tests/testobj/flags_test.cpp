// The command-line flags, each tested through a real process: the child
// hands its own argv to processDefaultArguments and runs go().
#include "testobj_support.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

using testobj::joined;
using testobj::Probe;
using testobj::runHeader;
using testobj::runIn;
using testobj::runSummary;
using testobj::written;
using zktest_support::readFile;
using zktest_support::TempDir;
using zktest_support::writeFile;

const char* orNull(const char* text) {
    return text != nullptr ? text : "(null)";
}

// A default-constructed test (report "zktest.out" in ".") with the child's
// command line; after the run it tells what the object ended with.
ZKTEST_CHILD_SCENARIO(flag_run) {
    Probe test("flags");
    test.processDefaultArguments(argc, argv);
    test.body = [](Probe& t) { t.print("body"); };
    const int result = test.go();
    std::printf("dir=[%s] file=[%s] full=[%s] append=%d\n", orNull(test.outputDir()),
                orNull(test.outputFile()), orNull(test.fullName()), test.appendStatus());
    std::fflush(stdout);
    return result;
}

std::string report(const std::string& compilerId = "unknown",
                   const std::string& machineId = "unknown") {
    return written(runHeader("flags", compilerId, machineId, "") + "## body\n" + runSummary(0, 0));
}

std::string sep() {
    return std::string(1, zktest_support::separator());
}

TEST(FlagsTest, WithoutFlagsTheReportIsTruncatedInTheCurrentDirectory) {
    TempDir dir;
    writeFile(dir.file("zktest.out"), "old contents\n");
    auto result = runIn(dir, "flag_run");
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(written("dir=[.] file=[zktest.out] full=[." + sep() + "zktest.out] append=0\n"),
              result.out);
    EXPECT_EQ(report(), readFile(dir.file("zktest.out")));
    EXPECT_EQ("0", readFile(dir.file("zktest.sta")));
}

TEST(FlagsTest, OutputFileAndDirectory) {
    TempDir dir;
    fs::create_directory(dir.file("reports"));
    auto result = runIn(dir, "flag_run", {"-O", "r.txt", "-Dreports"});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(
        written("dir=[reports] file=[r.txt] full=[" + joined("reports", "r.txt") + "] append=0\n"),
        result.out);
    EXPECT_EQ(report(), readFile(dir.file("reports/r.txt")));
    EXPECT_EQ("0", readFile(dir.file("reports/r.sta")));
}

TEST(FlagsTest, MachineAndCompilerIdentification) {
    TempDir dir;
    auto result = runIn(dir, "flag_run", {"-C", "gcc 12", "-M", "build box"});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(report("gcc 12", "build box"), readFile(dir.file("zktest.out")));
}

TEST(FlagsTest, AppendKeepsTheEarlierReport) {
    TempDir dir;
    writeFile(dir.file("zktest.out"), "earlier\n");
    auto result = runIn(dir, "flag_run", {"-A"});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ("earlier\n" + report(), readFile(dir.file("zktest.out")));
}

// Flags are found anywhere in the joined line and applied in a fixed order:
// "-A" inside another flag's argument still asks for appending.
TEST(FlagsTest, FlagsAreFoundAnywhereInTheLine) {
    TempDir dir;
    writeFile(dir.file("x-Ay.out"), "earlier\n");
    auto result = runIn(dir, "flag_run", {"-Mm", "-Cc", "-Ox-Ay.out"});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(written("dir=[.] file=[x-Ay.out] full=[." + sep() + "x-Ay.out] append=1\n"),
              result.out);
    EXPECT_EQ("earlier\n" + report("c", "m"), readFile(dir.file("x-Ay.out")));
}

// "-A" in the program's own path (the first word of the line) appends.
TEST(FlagsTest, FlagInTheProgramPathCounts) {
    const fs::path self = zktest_support::selfPath();
    fs::path copy = self;
    copy.replace_filename(self.stem().string() + "-A" + self.extension().string());
    std::error_code error;
    fs::copy_file(self, copy, fs::copy_options::overwrite_existing, error);
    ASSERT_FALSE(error) << error.message();

    TempDir dir;
    writeFile(dir.file("zktest.out"), "earlier\n");
    zktest_support::ChildOptions options;
    options.cwd = dir.path();
    auto result = zktest_support::runProgram({copy.string(), "--zk-child", "flag_run"}, options);
    fs::remove(copy, error);
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_NE(std::string::npos, result.out.find("append=1")) << result.out;
    EXPECT_EQ("earlier\n" + report(), readFile(dir.file("zktest.out")));
}

// A file name that is itself a path drops the directory for good.
TEST(FlagsTest, OutputFileWithSeparatorIgnoresTheDirectory) {
    TempDir dir;
    fs::create_directory(dir.file("sub"));
    const std::string name = joined("sub", "r.out");
    auto result = runIn(dir, "flag_run", {"-D", "elsewhere", "-O", name});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(written("dir=[] file=[" + name + "] full=[" + name + "] append=0\n"), result.out);
    EXPECT_EQ(report(), readFile(dir.file("sub/r.out")));
    EXPECT_FALSE(fs::exists(dir.file("elsewhere")));
}

// A directory ending in '/' gives one separator in the path and keeps its
// own '/'.
TEST(FlagsTest, TrailingSlashOfTheDirectoryBecomesTheSeparator) {
    TempDir dir;
    fs::create_directory(dir.file("out"));
    auto result = runIn(dir, "flag_run", {"-D", "out/"});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(written("dir=[out/] file=[zktest.out] full=[" + joined("out", "zktest.out") +
                      "] append=0\n"),
              result.out);
    EXPECT_EQ(report(), readFile(dir.file("out/zktest.out")));
}

// The report on standard output: header and summary appear there, and
// standard output is still open after go(). (The status file named after
// "/dev/stdout" cannot be created; its warning is the status file's own.)
TEST(FlagsTest, ReportOnStandardOutput) {
    TempDir dir;
    auto result = runIn(dir, "flag_run", {"-O", "/dev/stdout"});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(report() + written("dir=[] file=[/dev/stdout] full=[/dev/stdout] append=0\n"),
              result.out);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(FlagsTest, BadAlarmArgumentsAreReportedAndTheRunGoesOn) {
    for (const char* value : {"0", "abc"}) {
        TempDir dir;
        auto result = runIn(dir, "flag_run", {"-L", value});
        ASSERT_TRUE(result.exited && result.exitCode == 0) << value << result.describe();
        EXPECT_EQ(written(std::string("-L ") + value + ": no alarm set\n"), result.err);
        EXPECT_EQ(report(), readFile(dir.file("zktest.out")));
    }
}

ZKTEST_CHILD_SCENARIO(alarm_run) {
    Probe test("alarm", "", ".", "alarm.out");
    test.processDefaultArguments(argc, argv);
    test.body = [](Probe& t) {
        t.print("waiting");
        t.setFunctionTag("sleeping"); // flushes the report
        std::this_thread::sleep_for(std::chrono::seconds(30));
    };
    test.go();
    return 3; // not reached: the alarm aborts the run
}

TEST(FlagsTest, AlarmAbortsALongRun) {
    TempDir dir;
    auto result = runIn(dir, "alarm_run", {"-L", "1"});
    EXPECT_TRUE(result.aborted()) << result.describe();
    EXPECT_EQ(written(runHeader("alarm", "unknown", "unknown", "") +
                      "## waiting\n\n\n## FunctionTag = sleeping\n"),
              readFile(dir.file("alarm.out"))); // no summary
    EXPECT_EQ("1", readFile(dir.file("alarm.sta")));
}

ZKTEST_CHILD_SCENARIO(alarm_twice) {
    Probe first;
    first.processDefaultArguments(argc, argv); // -L 2
    char program[] = "prog";
    char flag[] = "-L";
    char seconds[] = "100";
    char* later[] = {program, flag, seconds, nullptr};
    Probe second;
    second.processDefaultArguments(3, later); // keeps the sooner deadline
    std::this_thread::sleep_for(std::chrono::seconds(30));
    return 3; // not reached: the first alarm still aborts the process
}

TEST(FlagsTest, LaterAlarmNeverLengthensAnEarlierOne) {
    TempDir dir;
    auto result = runIn(dir, "alarm_twice", {"-L", "2"});
    EXPECT_TRUE(result.aborted()) << result.describe();
}

ZKTEST_CHILD_SCENARIO(crash_run) {
    Probe test("crash", "", ".", "crash.out");
    test.processDefaultArguments(argc, argv);
    test.body = [](Probe& t) {
        t.setFunctionTag("crashing"); // flushes the report
        // An address the compiler cannot know to be null.
        volatile int* target = reinterpret_cast<volatile int*>(std::strlen(t.testTag()) - 5 + 16);
        *target = 1;
    };
    test.go();
    return 3; // not reached
}

TEST(FlagsTest, CrashGuardNamesTheFaultInItsTarget) {
    TempDir dir;
    auto result = runIn(dir, "crash_run", {"-G", "crash.txt"});
    // POSIX: the guard re-raises, so the process dies of SIGSEGV. Windows:
    // the exception code is the exit status (its low byte under wine).
    if (result.signaled)
        EXPECT_EQ(SIGSEGV, result.signal) << result.describe();
    else
        EXPECT_TRUE(result.exited &&
                    (result.exitCode == static_cast<int>(0xC0000005u) || result.exitCode == 5))
            << result.describe();
    const std::string line = readFile(dir.file("crash.txt"));
    EXPECT_TRUE(std::regex_match(line, std::regex("Access Violation at pc 0x[0-9A-F]+ "
                                                  "\\(code 0xc0000005\\)\r?\n")))
        << line;
    EXPECT_EQ(
        written(runHeader("crash", "unknown", "unknown", "") + "\n\n## FunctionTag = crashing\n"),
        readFile(dir.file("crash.out")));
    EXPECT_EQ("1", readFile(dir.file("crash.sta")));
}

} // namespace
