// Assertions, failure counting, the failure limit and the tag writers, on a
// test object whose report is named without a run (createFullOutputFileName
// into a temporary directory), so no status file is involved.
#include "testobj_support.h"

#include <chrono>
#include <cmath>
#include <future>
#include <limits>
#include <string>

namespace {

using testobj::Probe;
using testobj::written;
using zktest_support::readFile;
using zktest_support::TempDir;

// A test object writing its report to <temp>/zktest.out.
class ReportFixture : public ::testing::Test {
protected:
    void SetUp() override {
        test.outputDir(dir.path().c_str());
        test.createFullOutputFileName();
        ZKQESingletonAssertionCounter::clearCount();
        ZKQESingletonAssertionFailedCounter::clearCount();
    }
    void TearDown() override {
        test.closeReport();
        ZKQESingletonAssertionCounter::clearCount();
        ZKQESingletonAssertionFailedCounter::clearCount();
    }
    // The report as written so far (the FILE is flushed after each failure).
    std::string report() { return readFile(dir.file("zktest.out")); }

    TempDir dir;
    Probe test;
};

using AssertionTest = ReportFixture;

TEST_F(AssertionTest, PassingAssertionCountsAndWritesNothing) {
    EXPECT_TRUE(test.assertTrue("ok", "a.cpp", 1, true, "1"));
    EXPECT_TRUE(test.assertSmall("ok", "a.cpp", 2, 0.0, "2"));
    EXPECT_EQ(2, ZKQESingletonAssertionCounter::getCount());
    EXPECT_EQ(0, ZKQESingletonAssertionFailedCounter::getCount());
    EXPECT_EQ(0, test.detectedErrors());
    EXPECT_EQ(0, test.lastAssertionFailed());
    EXPECT_EQ(nullptr, test.primary());
    EXPECT_FALSE(zktest_support::fileExists(dir.file("zktest.out")));
}

TEST_F(AssertionTest, FailedAssertionWritesABlockAndCounts) {
    EXPECT_FALSE(test.assertTrue("x > 0", "a.cpp", 12, false, "7"));
    EXPECT_EQ(1, test.detectedErrors());
    EXPECT_EQ(1, test.lastAssertionFailed());
    EXPECT_EQ(1, ZKQESingletonAssertionCounter::getCount());
    EXPECT_EQ(1, ZKQESingletonAssertionFailedCounter::getCount());
    EXPECT_EQ(written("\n## -       ID           = 7\n"
                      "## -       AssertionTag = x > 0\n"
                      "## -       FileName     = a.cpp\n"
                      "## -       LineNumber   = 12\n"),
              report()); // already flushed

    EXPECT_TRUE(test.assertTrue("ok", "a.cpp", 13, true, "8"));
    EXPECT_EQ(0, test.lastAssertionFailed());
    EXPECT_EQ(1, test.detectedErrors());
}

TEST_F(AssertionTest, AssertSmallComparesStrictlyWithTheThreshold) {
    test.threshold(0.001);
    EXPECT_TRUE(test.assertSmall("t", "s.cpp", 1, 0.001, nullptr));
    EXPECT_TRUE(test.assertSmall("t", "s.cpp", 2, -0.001, nullptr));
    EXPECT_FALSE(test.assertSmall("t", "s.cpp", 3, 0.0011, nullptr));
    EXPECT_FALSE(test.assertSmall("t", "s.cpp", 4, -0.0011, nullptr));
    EXPECT_TRUE(test.assertSmall("t", "s.cpp", 5, std::nan(""), nullptr)); // unordered passes
    EXPECT_FALSE(
        test.assertSmall("t", "s.cpp", 6, std::numeric_limits<double>::infinity(), nullptr));
    EXPECT_EQ(3, test.detectedErrors());

    test.threshold(0.0);
    EXPECT_TRUE(test.assertSmall("t", "s.cpp", 7, 0.0, nullptr));
    EXPECT_TRUE(test.assertSmall("t", "s.cpp", 8, -0.0, nullptr));
    EXPECT_FALSE(test.assertSmall("t", "s.cpp", 9, 1e-300, nullptr));
    EXPECT_FALSE(test.assertSmall("t", "s.cpp", 10, -1e-300, nullptr));
    EXPECT_EQ(5, test.detectedErrors());
    EXPECT_EQ(10, ZKQESingletonAssertionCounter::getCount());
}

TEST_F(AssertionTest, LimitThrowsAtEqualityAfterCountingAndReleasesTheMutex) {
    test.maxFailures(3);
    EXPECT_FALSE(test.assertTrue("f", "l.cpp", 1, false, nullptr));
    EXPECT_FALSE(test.assertTrue("f", "l.cpp", 2, false, nullptr));
    EXPECT_THROW(test.assertTrue("f", "l.cpp", 3, false, nullptr), tooManyFailures);
    EXPECT_EQ(3, test.detectedErrors());
    EXPECT_EQ(3, ZKQESingletonAssertionFailedCounter::getCount());
    EXPECT_EQ(1, test.lastAssertionFailed());
    const std::string text = report();
    EXPECT_NE(std::string::npos, text.find("LineNumber   = 3")); // written before the throw

    // Another thread can take the object's mutex: the guard let it go.
    auto other = std::async(std::launch::async, [this] {
        test.print("from another thread");
        return true;
    });
    ASSERT_EQ(std::future_status::ready, other.wait_for(std::chrono::seconds(60)));
    EXPECT_TRUE(other.get());

    // Past the limit, equality is never reached again.
    EXPECT_FALSE(test.assertTrue("f", "l.cpp", 4, false, nullptr));
    EXPECT_EQ(4, test.detectedErrors());
}

TEST_F(AssertionTest, LimitOfZeroOrBelowNeverStopsTheRun) {
    for (int limit : {0, -1}) {
        test.maxFailures(limit);
        for (int i = 0; i < 200; ++i)
            ASSERT_NO_THROW(test.assertTrue("f", "z.cpp", i, false, nullptr)) << limit;
    }
    EXPECT_EQ(400, test.detectedErrors());
}

TEST_F(AssertionTest, LimitLoweredBelowTheCountNeverThrows) {
    for (int i = 0; i < 5; ++i)
        test.assertTrue("f", "z.cpp", i, false, nullptr);
    test.maxFailures(2);
    EXPECT_NO_THROW(test.assertTrue("f", "z.cpp", 6, false, nullptr));
    EXPECT_EQ(6, test.detectedErrors());
}

TEST_F(AssertionTest, ResetsClearOnlyTheProcessWideCounts) {
    test.assertTrue("f", "r.cpp", 1, false, nullptr);
    test.assertTrue("t", "r.cpp", 2, true, nullptr);
    test.resetAssertionCount();
    EXPECT_EQ(0, ZKQESingletonAssertionCounter::getCount());
    EXPECT_EQ(1, ZKQESingletonAssertionFailedCounter::getCount());
    test.assertTrue("f", "r.cpp", 3, false, nullptr);
    test.resetFailedAssertionCount();
    EXPECT_EQ(1, ZKQESingletonAssertionCounter::getCount());
    EXPECT_EQ(0, ZKQESingletonAssertionFailedCounter::getCount());
    test.assertTrue("f", "r.cpp", 4, false, nullptr);
    test.resetAllAssertionCounts();
    EXPECT_EQ(0, ZKQESingletonAssertionCounter::getCount());
    EXPECT_EQ(0, ZKQESingletonAssertionFailedCounter::getCount());
    EXPECT_EQ(3, test.detectedErrors());
}

TEST_F(AssertionTest, UserDefinedErrorFreezesTheFailedCount) {
    test.assertTrue("f", "u.cpp", 1, false, nullptr);
    EXPECT_EQ(1, test.signalUserDefinedError(9));
    EXPECT_EQ(-9, ZKQESingletonAssertionFailedCounter::getCount());
    test.assertTrue("f", "u.cpp", 2, false, nullptr);
    EXPECT_EQ(-9, ZKQESingletonAssertionFailedCounter::getCount());
    EXPECT_EQ(-9, test.signalUserDefinedError(4));
    EXPECT_EQ(2, test.detectedErrors());
}

TEST_F(AssertionTest, RethrowSettingDoesNotChangeAFailure) {
    test.rethrow(1);
    test.maxFailures(1);
    EXPECT_THROW(test.assertTrue("f", "r.cpp", 1, false, nullptr), tooManyFailures);
    EXPECT_EQ(1, test.rethrow());
}

using TagTest = ReportFixture;

TEST_F(TagTest, TagLinesAndTheJoinedIdentifier) {
    test.setRunTag("run A");
    test.setFunctionTag("f");
    EXPECT_EQ(written("\n## RunTag      = run A\n\n\n## FunctionTag = f\n"),
              report()); // flushed by the function tag
    test.setStepTag("s1");
    test.fail("tagged", "5");
    test.setFunctionTag("");
    test.fail("empty function", "5");
    test.setFunctionTag(nullptr);
    test.fail("no function", "5");
    test.setRunTag(nullptr);
    test.setStepTag(nullptr);
    test.setFunctionTag(nullptr); // flushes everything
    EXPECT_STREQ(nullptr, test.runTag());
    EXPECT_EQ(written("\n## RunTag      = run A\n"
                      "\n\n## FunctionTag = f\n"
                      "\n##    StepTag = s1\n"
                      "\n## -       ID           = 5.f\n"
                      "## -       AssertionTag = tagged\n"
                      "## -       FileName     = f.cpp\n"
                      "## -       LineNumber   = 1\n"
                      "\n\n## FunctionTag = \n"
                      "\n## -       ID           = 5.\n"
                      "## -       AssertionTag = empty function\n"
                      "## -       FileName     = f.cpp\n"
                      "## -       LineNumber   = 1\n"
                      "\n\n## FunctionTag = (null)\n"
                      "\n## -       ID           = 5\n"
                      "## -       AssertionTag = no function\n"
                      "## -       FileName     = f.cpp\n"
                      "## -       LineNumber   = 1\n"
                      "\n## RunTag      = (null)\n"
                      "\n##    StepTag = (null)\n"
                      "\n\n## FunctionTag = (null)\n"),
              report());
}

TEST_F(TagTest, TagsAreTheObjectsOwnCopies) {
    char text[] = "step";
    test.setStepTag(text);
    text[0] = 'S';
    EXPECT_STREQ("step", test.stepTag());
    EXPECT_NE(text, test.stepTag());
}

// ---- changing files within one process -------------------------------------

using ChangeTest = ReportFixture;

// Files visited before keep their own counts, also when the file being left
// is not the last one added to the table.
TEST_F(ChangeTest, EveryFileKeepsItsOwnCounts) {
    test.assertTrue("f", "c.cpp", 1, false, nullptr); // start: 1
    test.changeOutputFile("a.out");
    EXPECT_EQ(0, test.detectedErrors());
    test.assertTrue("f", "c.cpp", 2, false, nullptr);
    test.assertTrue("f", "c.cpp", 3, false, nullptr); // a: 2
    test.fileAssertions(20);
    test.changeOutputFile("b.out");
    EXPECT_EQ(0, test.detectedErrors());
    EXPECT_EQ(0, test.fileAssertions());
    test.fileAssertions(30);
    test.changeOutputFile("a.out");
    EXPECT_EQ(2, test.detectedErrors());
    EXPECT_EQ(20, test.fileAssertions());
    test.assertTrue("f", "c.cpp", 4, false, nullptr); // a: 3
    test.changeOutputFile("b.out");                   // a was not the table's last entry
    EXPECT_EQ(0, test.detectedErrors());
    EXPECT_EQ(30, test.fileAssertions());
    test.changeOutputFile("a.out");
    EXPECT_EQ(3, test.detectedErrors());
    test.changeOutputFile("zktest.out"); // the starting file, entry 0
    EXPECT_EQ(1, test.detectedErrors());
    EXPECT_EQ(3, test.files().currentOutfile()); // start, a, b: no duplicates
    EXPECT_EQ(0, test.files().findOutfile("zktest.out"));
    EXPECT_EQ(3, test.files().getFailures(1));
    EXPECT_EQ(0, test.files().getFailures(2));
}

// A change of file closes an open stream, so the next outStream() piece goes
// into the new file, also when that file was visited before.
TEST_F(ChangeTest, StreamFollowsTheReportToTheNewFile) {
    test.changeOutputFile("a.out");
    test.changeOutputFile("b.out");
    test.outStream() << "in b";
    EXPECT_EQ(1, test.stream().is_open());
    test.changeOutputFile("a.out");
    EXPECT_EQ(0, test.stream().is_open());
    test.outStream() << "in a";
    test.stream().close();
    const std::string b = readFile(dir.file("b.out"));
    const std::string a = readFile(dir.file("a.out"));
    EXPECT_EQ(b.size() - 6, b.rfind("# in b")) << b;
    EXPECT_EQ(a.size() - 6, a.rfind("# in a")) << a;
    EXPECT_EQ(std::string::npos, b.find("in a"));
}

TEST_F(ChangeTest, NewFileHeaderIsWrittenWithoutPrefix) {
    Probe other("tag", nullptr, dir.path().c_str(), "", false, 128, "cc", "mm");
    other.changeOutputFile("h.out");
    EXPECT_EQ(nullptr, other.primary()); // the header is written and closed
    EXPECT_EQ(written("#-------------------------------\n"
                      "TestTag     = tag\n"
                      "CompilerId  = cc\n"
                      "MachineId   = mm\n"
                      "Remark      = (null)\n\n"),
              readFile(dir.file("h.out")));
    std::string expectedName = dir.path() + zktest_support::separator() + "h.out";
    EXPECT_STREQ(expectedName.c_str(), other.fullName());
}

TEST_F(ChangeTest, NewFileIsTruncatedUnlessAppending) {
    zktest_support::writeFile(dir.file("t.out"), "old\n");
    zktest_support::writeFile(dir.file("u.out"), "old\n");
    test.changeOutputFile("t.out");
    EXPECT_EQ(0u, readFile(dir.file("t.out")).find("#---"));
    test.appendStatus(1);
    test.changeOutputFile("u.out");
    EXPECT_EQ(0u, readFile(dir.file("u.out")).find("old\n#---"));
}

// Starting a new file while one is open finishes the open one first, so its
// buffered lines are not lost.
TEST_F(ChangeTest, HeaderOfANewFileFinishesTheOpenOne) {
    test.print("pending");
    ASSERT_NE(nullptr, test.primary());
    test.outputFile("next.out");
    test.printHeaderInfo();
    EXPECT_EQ(nullptr, test.primary());
    EXPECT_EQ(written("## pending\n"), readFile(dir.file("zktest.out")));
    EXPECT_EQ(0u, readFile(dir.file("next.out")).find("#---"));
}

TEST_F(ChangeTest, FullOutputFileNameJoinsDirectoryAndFile) {
    Probe other;
    other.outputDir(nullptr);
    other.outputFile("plain.out");
    other.createFullOutputFileName();
    EXPECT_STREQ("plain.out", other.fullName());
    const std::string sep(1, zktest_support::separator());
    other.outputDir(("d" + sep).c_str()); // already ends in the separator
    other.createFullOutputFileName();
    EXPECT_STREQ(("d" + sep + "plain.out").c_str(), other.fullName());
    other.outputDir("d");
    other.createFullOutputFileName();
    EXPECT_STREQ(("d" + sep + "plain.out").c_str(), other.fullName());
    other.outputDir("");
    other.createFullOutputFileName();
    EXPECT_STREQ("plain.out", other.fullName());
}

} // namespace
