// The stress checker itself: a report written by the workers one after the
// other (so nothing interleaves) must pass, and each kind of damage that a
// race could do to a report must be found.
#include "report_checker.h"
#include "stress_plan.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int kWorkers = 8; // as the one_object scenario runs them
// Enough steps for every kind of line of the plan.
constexpr int kSteps = 520;

stress::Expected serialExpected() {
    stress::Expected expected;
    expected.testTag = "stress";
    for (int n = 0; n < kWorkers; ++n)
        expected.workers.push_back(n);
    expected.steps = kSteps;
    expected.failedAssertions = kWorkers * kSteps;
    expected.assertions =
        expected.failedAssertions + kWorkers * stress::countSteps(kSteps, stress::passesToo);
    return expected;
}

const std::string& serialReport() {
    static const std::string report = [] {
        zktest_support::TempDir dir;
        zktest_support::ChildOptions options;
        options.cwd = dir.path();
        auto result =
            zktest_support::runChild("one_object", {std::to_string(kSteps), "serial"}, options);
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.describe();
        // Line ends as the checker reads them on every platform.
        std::string text = zktest_support::readFile(dir.file("stress.out"));
        std::string plain;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
                plain += text[i];
        return plain;
    }();
    return report;
}

// The report with the first `from` replaced by `to`.
std::string damaged(const std::string& from, const std::string& to) {
    std::string report = serialReport();
    const std::size_t at = report.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    if (at != std::string::npos)
        report.replace(at, from.size(), to);
    return report;
}

std::string allProblems(const stress::ReportFindings& findings) {
    std::string text;
    for (const auto& problem : findings.problems)
        text += problem + "\n";
    return text;
}

TEST(StressCheckerTest, AReportWrittenWithoutRacesIsSound) {
    const auto findings = stress::checkReport(serialReport(), serialExpected());
    EXPECT_TRUE(findings.problems.empty()) << allProblems(findings);
    EXPECT_EQ(kWorkers * kSteps, findings.blocks);
    EXPECT_EQ(kWorkers * stress::countSteps(kSteps, stress::hasId), findings.blocksWithId);
    EXPECT_EQ(kWorkers * 6, findings.prints);
    EXPECT_EQ(kWorkers * 3, findings.stepTags);
    EXPECT_EQ(kWorkers / 2, findings.functionTags);
    EXPECT_EQ(kWorkers / 2, findings.runTags);
    EXPECT_EQ(kWorkers * 3, findings.streamPieces);
    EXPECT_EQ(kWorkers * 3, findings.streamPrefixes);
}

TEST(StressCheckerTest, FindsALineSplitByAnotherWriter) {
    const auto findings =
        stress::checkReport(damaged("## p3.100\n", "## p3.1\n00\n"), serialExpected());
    EXPECT_FALSE(findings.problems.empty());
}

TEST(StressCheckerTest, FindsABlockWithALineMissing) {
    const auto findings = stress::checkReport(
        damaged("## -       AssertionTag = t5.7\n## -       FileName     = stress.cpp\n",
                "## -       AssertionTag = t5.7\n"),
        serialExpected());
    EXPECT_NE(std::string::npos, allProblems(findings).find("expected \"## -       FileName"))
        << allProblems(findings);
}

TEST(StressCheckerTest, FindsALineWrittenIntoABlock) {
    const auto findings = stress::checkReport(
        damaged("## -       AssertionTag = t2.9\n", "## -       AssertionTag = t2.9\n## p9.9\n"),
        serialExpected());
    EXPECT_FALSE(findings.problems.empty());
}

TEST(StressCheckerTest, FindsABlockWrittenTwiceOrLost) {
    const std::string block = "\n## -       ID           = T0\n"
                              "## -       AssertionTag = t0.11\n"
                              "## -       FileName     = stress.cpp\n"
                              "## -       LineNumber   = 11\n";
    auto twice = stress::checkReport(damaged(block, block + block), serialExpected());
    EXPECT_NE(std::string::npos, allProblems(twice).find("written twice: t0.11"))
        << allProblems(twice);
    auto lost = stress::checkReport(damaged(block, ""), serialExpected());
    EXPECT_NE(std::string::npos, allProblems(lost).find("failure blocks: 4159 found, 4160 made"))
        << allProblems(lost);
}

TEST(StressCheckerTest, FindsAStreamPrefixInsideABlock) {
    const auto findings = stress::checkReport(
        damaged("## -       ID           = T0\n## -       AssertionTag = t0.11\n",
                "# ## -       ID           = T0\n## -       AssertionTag = t0.11\n"),
        serialExpected());
    EXPECT_NE(std::string::npos,
              allProblems(findings).find("a stream prefix in front of a report line"))
        << allProblems(findings);
}

// A stream text may be dropped when another writer closes the stream before
// it arrives, and a print may follow a stream prefix whose text went
// elsewhere; neither breaks a line of the report.
TEST(StressCheckerTest, AcceptsWhatTheStreamHandoverAllows) {
    const std::string moved = damaged("# <o0.50>\n", "<o0.50>\n");
    const std::size_t print = moved.find("## p0.100\n");
    ASSERT_NE(std::string::npos, print);
    std::string report = moved;
    report.insert(print, "# ");
    const std::size_t dropped = report.find("# <o2.250>\n");
    ASSERT_NE(std::string::npos, dropped);
    report.replace(dropped, 11, "# \n");
    const auto findings = stress::checkReport(report, serialExpected());
    EXPECT_TRUE(findings.problems.empty()) << allProblems(findings);
    EXPECT_EQ(kWorkers * 3 - 1, findings.streamPieces);
}

TEST(StressCheckerTest, FindsALostStreamPrefixAndAWrongSummary) {
    auto prefix = stress::checkReport(damaged("# <o1.50>\n", "<o1.50>\n"), serialExpected());
    EXPECT_NE(std::string::npos, allProblems(prefix).find("stream prefixes: 23 found, 24 made"))
        << allProblems(prefix);
    stress::Expected more = serialExpected();
    more.assertions += 1;
    auto summary = stress::checkReport(serialReport(), more);
    EXPECT_NE(std::string::npos, allProblems(summary).find("## Assertions = "))
        << allProblems(summary);
}

} // namespace
