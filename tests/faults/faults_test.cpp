// Faults around a run, each in a fresh process: a report on a device that
// takes no data, a status file that cannot be created, a memory log on a
// full device, a crash report target that cannot be opened. In every case the
// run must go on to its end (or, after a crash, the process must still end),
// and nothing must be written where it should not.
//
// A report directory that does not exist is covered by the test object's own
// tests (MisuseTest.ReportThatCannotBeOpenedAbortsTheRun: the exact message,
// the abort and the status file left at "1").
#include "zktest.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using zktest_support::asWritten;
using zktest_support::ChildOptions;
using zktest_support::fileExists;
using zktest_support::ProcessResult;
using zktest_support::readFile;
using zktest_support::TempDir;

// The constructor names the status file (r.sta in the working directory)
// before any flag is read, so a report moved by -O elsewhere never puts a
// status file beside it.
class FaultTest : public ZKQETest {
public:
    FaultTest() : ZKQETest("faults", "", ".", "r.out") {}
    void runTest() override {
        print("before");
        assertTrue("fails", "faults.cpp", 7, false, "1");
        assertTrue("passes", "faults.cpp", 8, true, "2");
        outStream() << "streamed\n";
        print("after");
    }
};

const char kReport[] = "## -------------------------------\n"
                       "## TestTag     = faults\n"
                       "## CompilerId  = unknown\n"
                       "## MachineId   = unknown\n"
                       "## Remark      = \n"
                       "\n"
                       "## before\n"
                       "\n"
                       "## -       ID           = 1\n"
                       "## -       AssertionTag = fails\n"
                       "## -       FileName     = faults.cpp\n"
                       "## -       LineNumber   = 7\n"
                       "# streamed\n"
                       "## after\n"
                       "## Assertions = 2\n"
                       "## FailedAssertions = 1\n"
                       "\n"
                       "\n";

[[noreturn]] void crash() {
    // Read back through volatile, so the compiler cannot know the address.
    volatile std::uintptr_t address = 16;
    *reinterpret_cast<volatile int*>(address) = 1;
    std::abort();
}

// argv[1]: "run", or "crash" to crash once go() has returned; the rest are
// the test's flags.
ZKTEST_CHILD_SCENARIO(fault_run) {
    FaultTest test;
    test.processDefaultArguments(argc, argv);
    const int failures = test.go();
    std::printf("go returned %d\n", failures);
    std::fflush(stdout);
    if (std::string(argv[1]) == "crash")
        crash();
    return 0;
}

// The run, after a few operations went to the memory log that ZKMEMSTATS
// names.
ZKTEST_CHILD_SCENARIO(memory_log_run) {
    ZKMemStats* stats = ZKMemStats::instance();
    int block = 0;
    ZKMemStats::BlockHeader header{ZKMemStats::ScalarBlock, sizeof block, &block, 1};
    ZKStatsLoggerInterface* logger = stats->imp->currentLogger;
    const int logging = logger->isLogging();
    logger->logAllocation(ZKMemStats::ScalarBlock, &block, &header, 0);
    logger->logDeallocation(ZKMemStats::ScalarBlock, &block, &header, ZKMemStats::DoubleDelete);
    stats->stopLogging();
    FaultTest test;
    test.processDefaultArguments(argc, argv);
    std::printf("logging %d, go returned %d\n", logging, test.go());
    return 0;
}

ProcessResult runIn(const TempDir& dir, const char* scenario, std::vector<std::string> args,
                    ChildOptions options = {}) {
    options.cwd = dir.path();
    return zktest_support::runChild(scenario, std::move(args), options);
}

bool endedByAccessViolation(const ProcessResult& result) {
    // POSIX: the guard re-raises the signal. Windows: the exception code is
    // the exit status (its low byte under wine).
    return (result.signaled && result.signal == SIGSEGV) ||
           (result.exited &&
            (result.exitCode == static_cast<int>(0xC0000005u) || result.exitCode == 5));
}

TEST(FaultsTest, AReportOnAFullDeviceEndsTheRunInOrder) {
    if (!fileExists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here: a device that refuses every write is a Linux device";
    TempDir dir;
    auto result = runIn(dir, "fault_run", {"run", "-O", "/dev/full"});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ("go returned 1\n", result.out);
    // Write and close failures of the report are not examined: no message.
    EXPECT_EQ("", result.err);
    EXPECT_FALSE(fileExists(dir.file("r.out")));
    EXPECT_EQ("0", readFile(dir.file("r.sta")));
}

TEST(FaultsTest, AStatusFileThatCannotBeCreatedIsAWarningAndTheRunGoesOn) {
    TempDir dir;
    // A directory where the status file should go: it cannot be opened for
    // writing, for a reason this platform names itself.
    std::filesystem::create_directory(dir.file("r.sta"));
    errno = 0;
    FILE* probe = std::fopen(dir.file("r.sta").c_str(), "w");
    const int reason = errno;
    ASSERT_EQ(nullptr, probe);

    auto result = runIn(dir, "fault_run", {"run"});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(asWritten("go returned 1\n"), result.out);
    EXPECT_EQ(
        asWritten("*** WARNING: Status file was not created (errno=" + std::to_string(reason) +
                  ")\n*** perror() reports: " + std::strerror(reason) + "\n"),
        result.err);
    EXPECT_EQ(asWritten(kReport), readFile(dir.file("r.out")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("r.sta")));
}

TEST(FaultsTest, AMemoryLogOnAFullDeviceLetsTheRunGoOn) {
    if (!fileExists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here: a device that refuses every write is a Linux device";
    TempDir dir;
    ChildOptions options;
    options.env = {{"ZKMEMSTATS", "-log /dev/full all"}};
    auto result = runIn(dir, "memory_log_run", {"run"}, options);
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    // The device opens, so logging is on; every write to it then fails.
    EXPECT_EQ("logging 1, go returned 1\n", result.out);
    // Nothing but the first-use warning (its system text is whatever errno
    // held then): failed log writes are not reported.
    const std::string warning =
        "warning: operator replacement is not supported in this environment: ";
    EXPECT_EQ(0u, result.err.find(warning)) << result.err;
    EXPECT_EQ(result.err.size() - 1, result.err.find('\n')) << result.err;
    EXPECT_EQ(kReport, readFile(dir.file("r.out")));
    EXPECT_EQ("0", readFile(dir.file("r.sta")));
}

TEST(FaultsTest, ACrashTargetThatCannotBeOpenedLetsTheRunGoOn) {
    TempDir dir;
    auto result = runIn(dir, "fault_run", {"run", "-G", "missing/crash.txt"});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(asWritten("go returned 1\n"), result.out);
    EXPECT_EQ("", result.err); // a failed -G open is not reported
    EXPECT_EQ(asWritten(kReport), readFile(dir.file("r.out")));
    EXPECT_EQ("0", readFile(dir.file("r.sta")));
}

TEST(FaultsTest, ACrashWithATargetThatCannotBeOpenedWritesNothingAndStillEnds) {
    TempDir dir;
    auto result = runIn(dir, "fault_run", {"crash", "-G", "missing/crash.txt"});
    EXPECT_TRUE(endedByAccessViolation(result)) << result.describe();
    EXPECT_EQ(asWritten("go returned 1\n"), result.out);
    EXPECT_EQ("", result.err);
    EXPECT_FALSE(fileExists(dir.file("missing")));
    EXPECT_EQ(asWritten(kReport), readFile(dir.file("r.out")));
    EXPECT_EQ("1", readFile(dir.file("r.sta"))); // no orderly end
}

} // namespace
