// Whole runs, each in a fresh process so that the process-wide counts in the
// summary are the run's own: the report is compared byte for byte with a
// golden file, and the process's end (status, standard error, status file)
// is checked with it.
#include "testobj_support.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using testobj::golden;
using testobj::joined;
using testobj::Probe;
using testobj::runIn;
using testobj::written;
using zktest_support::readFile;
using zktest_support::TempDir;

bool onWindows() {
    return zktest_support::separator() == '\\';
}

// ---- scenarios ----------------------------------------------------------------

ZKTEST_CHILD_SCENARIO(run_passing) {
    Probe test("passing", "no failures", ".", "passing.out", false, 128, "gcc", "box");
    test.body = [](Probe& t) {
        t.setRunTag("run 1");
        t.setFunctionTag("checks");
        t.setStepTag("step 1");
        t.assertTrue("true", "a.cpp", 10, true, "1");
        t.assertSmall("small", "a.cpp", 11, 0.0, "2");
        t.print("done");
    };
    return test.go();
}

ZKTEST_CHILD_SCENARIO(run_failures) {
    Probe test("failures", nullptr, ".", "failures.out");
    test.body = [](Probe& t) {
        t.assertTrue("plain failure", "f.cpp", 20, false, nullptr);
        t.assertTrue("with id", "f.cpp", 21, false, "17");
        t.setFunctionTag("checkRange");
        t.assertSmall("too big", "f.cpp", 22, 0.5, "17");
        t.setFunctionTag("");
        t.assertTrue("empty function tag", "f.cpp", 23, false, "5");
        t.assertTrue(nullptr, nullptr, 24, false, "6");
        t.print(nullptr);
        t.assertTrue("passes", "f.cpp", 25, true, "7");
    };
    return test.go();
}

ZKTEST_CHILD_SCENARIO(run_max_failures) {
    Probe test("limit", "", ".", "max_failures.out", false, 3);
    test.body = [](Probe& t) {
        const char* ids[] = {"1", "2", "3", "4", "5"};
        for (int i = 0; i < 5; ++i)
            t.assertTrue("fails", "m.cpp", i + 1, false, ids[i]);
        t.print("never reached");
    };
    return test.go();
}

ZKTEST_CHILD_SCENARIO(run_exception) {
    Probe test("escape", "", ".", "exception.out");
    test.body = [](Probe& t) {
        t.assertTrue("passes", "e.cpp", 6, true, "0");
        t.assertTrue("before the throw", "e.cpp", 7, false, "1");
        throw 42;
    };
    test.go();
    return 3; // not reached: go() ends the process
}

ZKTEST_CHILD_SCENARIO(run_call_exit) {
    Probe test("exiting", "", ".", "call_exit.out");
    test.body = [](Probe& t) {
        t.assertTrue("fails", "x.cpp", 3, false, "1");
        t.print("before exit");
        t.callExit();
    };
    test.go();
    return 3; // not reached
}

ZKTEST_CHILD_SCENARIO(run_streams) {
    Probe test("streams", "", ".", "streams.out");
    test.body = [](Probe& t) {
        t.print("one");
        t.outStream() << "two " << 3 << endl;
        t.print("four");
        t.outStream() << "five";
    };
    return test.go();
}

ZKTEST_CHILD_SCENARIO(run_change_files) {
    Probe test("switch", "", ".", "main.out");
    test.body = [](Probe& t) {
        char line[64];
        t.print("main 1");
        t.assertTrue("main fail", "c.cpp", 1, false, "1");
        t.changeOutputFile("first.out");
        t.assertTrue("first fail", "c.cpp", 2, false, "2");
        t.assertTrue("first fail", "c.cpp", 3, false, "3");
        t.outStream() << "streamed into first" << endl;
        t.changeOutputFile("second.out");
        t.print("second 1");
        t.outStream() << "into second" << endl;
        t.changeOutputFile("first.out");
        std::snprintf(line, sizeof line, "first again, detectedErrors %d", t.detectedErrors());
        t.print(line);
        t.outStream() << "stream follows into first" << endl;
        t.changeOutputFile("main.out");
        std::snprintf(line, sizeof line, "main again, detectedErrors %d", t.detectedErrors());
        t.print(line);
        t.assertTrue("main fail 2", "c.cpp", 4, false, "4");
    };
    return test.go();
}

ZKTEST_CHILD_SCENARIO(run_summary) {
    Probe test("summary", "", ".", "summary.out");
    test.body = [](Probe& t) {
        t.fileAssertions(5);
        t.assertTrue("passes", "s.cpp", 1, true, "1");
        t.assertSmall("passes", "s.cpp", 2, 0.0, "2");
        t.printSummary();
        t.print("after summary");
    };
    return test.go();
}

ZKTEST_CHILD_SCENARIO(run_fatal) {
    Probe test("fatal", "", ".", "fatal.out");
    test.body = [](Probe& t) {
        t.assertTrue("fails", "u.cpp", 1, false, "1");
        t.assertTrue("fails", "u.cpp", 2, false, "2");
        char line[64];
        std::snprintf(line, sizeof line, "count before the fatal error: %d",
                      t.signalUserDefinedError(9));
        t.print(line);
        t.assertTrue("fails", "u.cpp", 3, false, "3");
    };
    return test.go();
}

ZKTEST_CHILD_SCENARIO(run_two_objects) {
    Probe first("first object", "", ".", "two_objects_a.out");
    first.body = [](Probe& t) {
        t.assertTrue("a passes", "a.cpp", 1, true, "0");
        t.assertTrue("a fails", "a.cpp", 2, false, "1");
    };
    Probe second("second object", "", ".", "two_objects_b.out");
    second.body = [](Probe& t) {
        t.assertTrue("b passes", "b.cpp", 1, true, "0");
        t.assertTrue("b fails", "b.cpp", 2, false, "1");
        t.assertTrue("b fails", "b.cpp", 3, false, "2");
    };
    const int a = first.go();
    const int b = second.go();
    std::printf("%d %d", a, b);
    return 0;
}

ZKTEST_CHILD_SCENARIO(run_twice) {
    Probe test("twice", "", ".", "twice.out");
    int run = 0;
    test.body = [&run](Probe& t) {
        ++run;
        t.print(run == 1 ? "first run" : "second run");
    };
    test.go();
    test.appendStatus(0);
    return test.go();
}

// ---- tests ----------------------------------------------------------------------

TEST(RunTest, PassingRunWritesHeaderTagsAndSummary) {
    TempDir dir;
    auto result = runIn(dir, "run_passing");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ(golden("passing.out"), readFile(dir.file("passing.out")));
    EXPECT_EQ("0", readFile(dir.file("passing.sta")));
    EXPECT_EQ("", result.err);
}

TEST(RunTest, FailureBlocksShowIdentifiersJoinedWithTheFunctionTag) {
    TempDir dir;
    auto result = runIn(dir, "run_failures");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(5, result.exitCode); // go() returns the object's failures
    EXPECT_EQ(golden("failures.out"), readFile(dir.file("failures.out")));
    EXPECT_EQ("", result.err);
}

TEST(RunTest, FailureLimitEndsTheBodyWithMaxFailuresEnd) {
    TempDir dir;
    auto result = runIn(dir, "run_max_failures");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(3, result.exitCode);
    EXPECT_EQ(golden("max_failures.out"), readFile(dir.file("max_failures.out")));
    EXPECT_EQ("0", readFile(dir.file("max_failures.sta")));
}

TEST(RunTest, EscapedExceptionEndsTheProcessWithStatusOne) {
    TempDir dir;
    auto result = runIn(dir, "run_exception");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ(written("## Unexpected Exception\n"), result.err);
    EXPECT_EQ(golden("exception.out"), readFile(dir.file("exception.out")));
    EXPECT_EQ("0", readFile(dir.file("exception.sta"))); // a normal exit
}

TEST(RunTest, CallExitWritesExitLinesAndEndsWithStatusMinusOne) {
    TempDir dir;
    auto result = runIn(dir, "run_call_exit");
    ASSERT_TRUE(result.exited) << result.describe();
    // exit(-1): POSIX reads 8 bits, Windows reads 0xFFFFFFFF.
    EXPECT_EQ(onWindows() ? -1 : 255, result.exitCode);
    EXPECT_EQ(golden("call_exit.out"), readFile(dir.file("call_exit.out")));
    EXPECT_EQ("0", readFile(dir.file("call_exit.sta")));
    EXPECT_EQ("", result.err);
}

TEST(RunTest, PrintAndStreamPiecesLandInTheOrderWritten) {
    TempDir dir;
    auto result = runIn(dir, "run_streams");
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(golden("streams.out"), readFile(dir.file("streams.out")));
}

// The report moves to first.out, second.out, back to first.out and back to
// the file the run started with: revisited files are appended to, never
// truncated, and each keeps its own failure count.
TEST(RunTest, ChangeOutputFileThereAndBack) {
    TempDir dir;
    auto result = runIn(dir, "run_change_files");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(2, result.exitCode); // main.out's own count at the end
    EXPECT_EQ(golden("change_main.out"), readFile(dir.file("main.out")));
    EXPECT_EQ(golden("change_first.out"), readFile(dir.file("first.out")));
    EXPECT_EQ(golden("change_second.out"), readFile(dir.file("second.out")));
    EXPECT_FALSE(zktest_support::fileExists(dir.file("first.sta")));
    EXPECT_EQ("0", readFile(dir.file("main.sta")));
}

TEST(RunTest, PrintSummaryWritesTheFileCountThenTheProcessCounts) {
    TempDir dir;
    auto result = runIn(dir, "run_summary");
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(golden("summary.out"), readFile(dir.file("summary.out")));
}

TEST(RunTest, FatalErrorShowsAsNegativeFailedCount) {
    TempDir dir;
    auto result = runIn(dir, "run_fatal");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(3, result.exitCode); // the object still counts its failures
    EXPECT_EQ(golden("fatal.out"), readFile(dir.file("fatal.out")));
}

TEST(RunTest, TwoObjectsReportTheProcessWideSums) {
    TempDir dir;
    auto result = runIn(dir, "run_two_objects");
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ("1 2", result.out);
    EXPECT_EQ(golden("two_objects_a.out"), readFile(dir.file("two_objects_a.out")));
    EXPECT_EQ(golden("two_objects_b.out"), readFile(dir.file("two_objects_b.out")));
    // The first report named decides the status file.
    EXPECT_EQ("0", readFile(dir.file("two_objects_a.sta")));
    EXPECT_FALSE(zktest_support::fileExists(dir.file("two_objects_b.sta")));
}

TEST(RunTest, SecondRunWithoutAppendTruncatesTheReport) {
    TempDir dir;
    auto result = runIn(dir, "run_twice");
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(written(testobj::runHeader("twice", "unknown", "unknown", "") + "## second run\n" +
                      testobj::runSummary(0, 0)),
              readFile(dir.file("twice.out")));
}

// ---- misuse and fatal ends ----------------------------------------------------------

const char kAsterisks[] =
    "***********************************************************************\n";

ZKTEST_CHILD_SCENARIO(print_before_go) {
    Probe test;
    test.print("too early");
    return 0;
}

ZKTEST_CHILD_SCENARIO(fail_before_go) {
    Probe test;
    test.assertTrue("too early", "b.cpp", 1, false, "1");
    return 0;
}

ZKTEST_CHILD_SCENARIO(stream_before_go) {
    Probe test;
    test.outStream() << "too early";
    return 0;
}

// Writing into the report before a run named it is reported in the same box
// as outStream()'s misuse, and the process aborts.
TEST(MisuseTest, WritingBeforeGoPrintsTheErrorBoxAndAborts) {
    const std::string box = written(std::string(kAsterisks) +
                                    "*** ERROR: You must call the go() method before writing to "
                                    "the report!! ***\n" +
                                    kAsterisks);
    for (const char* scenario : {"print_before_go", "fail_before_go"}) {
        TempDir dir;
        auto result = runIn(dir, scenario);
        EXPECT_TRUE(result.aborted()) << scenario << ": " << result.describe();
        EXPECT_EQ(box, result.err) << scenario;
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << scenario;
    }
}

TEST(MisuseTest, OutStreamBeforeGoPrintsTheErrorBoxAndAborts) {
    TempDir dir;
    auto result = runIn(dir, "stream_before_go");
    EXPECT_TRUE(result.aborted()) << result.describe();
    EXPECT_EQ(written(std::string(kAsterisks) +
                      "*** ERROR: You must call the go() method before using outStream()!! ***\n" +
                      kAsterisks),
              result.err);
}

ZKTEST_CHILD_SCENARIO(open_failure) {
    Probe test("t", "", ".", "r.out");
    test.processDefaultArguments(argc, argv);
    test.go();
    return 3; // not reached
}

TEST(MisuseTest, ReportThatCannotBeOpenedAbortsTheRun) {
    TempDir dir;
    auto result = runIn(dir, "open_failure", {"-D", "missing"});
    EXPECT_TRUE(result.aborted()) << result.describe();
    EXPECT_EQ(
        written("failed to open " + joined("missing", "r.out") + ": No such file or directory\n"),
        result.err);
    EXPECT_EQ("1", readFile(dir.file("r.sta"))); // no orderly end
}

ZKTEST_CHILD_SCENARIO(reopen_failure) {
    Probe test("t", "", ".", "main.out");
    test.body = [](Probe& t) {
        t.changeOutputFile("side.out");
        t.outputDir("missing");
        // The starting file, found again: its open fails silently here...
        t.changeOutputFile("main.out");
        std::printf("%s", t.primary() == nullptr ? "not open" : "open");
        std::fflush(stdout);
        t.print("lost"); // ...and is reported by the next writer
    };
    test.go();
    return 3; // not reached
}

TEST(MisuseTest, ReportThatCannotBeReopenedAbortsAtTheNextWrite) {
    TempDir dir;
    auto result = runIn(dir, "reopen_failure");
    EXPECT_TRUE(result.aborted()) << result.describe();
    EXPECT_EQ("not open", result.out);
    EXPECT_EQ(written("failed to open " + joined("missing", "main.out") +
                      ": No such file or directory\n"),
              result.err);
    EXPECT_EQ("1", readFile(dir.file("main.sta")));
}

ZKTEST_CHILD_SCENARIO(new_file_open_failure) {
    Probe test("t", "", ".", "main.out");
    test.body = [](Probe& t) {
        t.print("before");
        t.changeOutputFile("missing/x.out");
    };
    test.go();
    return 3; // not reached
}

TEST(MisuseTest, NewReportFileThatCannotBeOpenedEndsWithStatusOne) {
    TempDir dir;
    auto result = runIn(dir, "new_file_open_failure");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ(written("Open of " + joined(".", "missing/x.out") +
                      " failed in printHeader: No such file or directory\n"),
              result.err);
    EXPECT_EQ(written(testobj::runHeader("t", "unknown", "unknown", "") + "## before\n"),
              readFile(dir.file("main.out")));
    EXPECT_EQ("0", readFile(dir.file("main.sta"))); // exit() is an orderly end
}

// A device that takes no data makes closing the report fail.
ZKTEST_CHILD_SCENARIO(close_failure) {
    Probe test("t", "", "/dev", "full");
    test.createFullOutputFileName();
    test.print("lost");
    if (argc > 1 && std::string(argv[1]) == "summary") {
        test.printSummary();
    } else {
        test.outputDir(argv[1]); // the next file goes somewhere writable
        test.changeOutputFile("next.out");
    }
    std::printf("%s", test.primary() == nullptr ? "dropped" : "kept");
    return 0;
}

// fclose releases the FILE even when it fails, so the report forgets it
// after printing the failure.
TEST(MisuseTest, FailedClosesAreReportedThroughPerror) {
    if (!zktest_support::fileExists("/dev/full"))
        GTEST_SKIP() << "no /dev/full on this platform";
    TempDir dir;
    auto summary = runIn(dir, "close_failure", {"summary"});
    ASSERT_TRUE(summary.exited && summary.exitCode == 0) << summary.describe();
    EXPECT_EQ("dropped", summary.out);
    // The first half's close fails; the second half's lines are lost in
    // the explicit flush before the pause, so its close has nothing left.
    EXPECT_EQ("Closed failed in closePrimaryOutput: No space left on device\n", summary.err);

    auto change = runIn(dir, "close_failure", {dir.path()});
    ASSERT_TRUE(change.exited && change.exitCode == 0) << change.describe();
    EXPECT_EQ("Closed failed in changeOutputFile: No space left on device\n", change.err);
    EXPECT_EQ(0u, readFile(dir.file("next.out")).find("#---")); // the new file got its header
}

ZKTEST_CHILD_SCENARIO(change_to_null) {
    Probe test("t", "", ".", "n.out");
    test.body = [](Probe& t) {
        t.print("before");
        t.changeOutputFile(nullptr);
        t.print("after");
    };
    return test.go();
}

// No name to change to: an error line, and the report stays where it is.
TEST(MisuseTest, ChangeOutputFileWithoutANameKeepsTheReport) {
    TempDir dir;
    auto result = runIn(dir, "change_to_null");
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(written("*** ERROR: changeOutputFile needs a file name\n"), result.err);
    EXPECT_EQ(written(testobj::runHeader("t", "unknown", "unknown", "") + "## before\n" +
                      "## after\n" + testobj::runSummary(0, 0)),
              readFile(dir.file("n.out")));
}

} // namespace
