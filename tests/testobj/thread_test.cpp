// Many threads asserting on one test object: every failure block must come
// out whole (its lines contiguous and well-formed), none lost or doubled,
// and the summary counts exact.
#include "testobj_support.h"

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using testobj::Probe;
using testobj::runIn;
using zktest_support::readFile;
using zktest_support::TempDir;

constexpr int kThreads = 8;
constexpr int kAssertionsPerThread = 10000;
// Every 10th assertion of a thread fails: 1000 failures per thread.
constexpr int kFailuresPerThread = kAssertionsPerThread / 10;
constexpr int kFailures = kThreads * kFailuresPerThread;

ZKTEST_CHILD_SCENARIO(threads_run) {
    Probe test("threads", "", ".", "threads.out", false, 0); // no failure limit
    test.body = [](Probe& t) {
        t.setFunctionTag("threads");
        std::vector<std::thread> workers;
        for (int n = 0; n < kThreads; ++n)
            workers.emplace_back([&t, n] {
                const std::string id = "t" + std::to_string(n);
                for (int i = 0; i < kAssertionsPerThread; ++i) {
                    if (n < 2 && i % 1000 == 0)
                        t.setStepTag(
                            ("step " + std::to_string(n) + "." + std::to_string(i)).c_str());
                    const bool fails = i % 10 == 0;
                    const std::string tag = id + " i=" + std::to_string(i);
                    if (i % 20 == 0) // a failing assertSmall, without an identifier
                        t.assertSmall(tag.c_str(), "thread.cpp", i, 1.0, nullptr);
                    else if (i % 2 == 0)
                        t.assertSmall(tag.c_str(), "thread.cpp", i, fails ? 1.0 : 0.0, id.c_str());
                    else
                        t.assertTrue(tag.c_str(), "thread.cpp", i, !fails, id.c_str());
                }
            });
        for (auto& worker : workers)
            worker.join();
    };
    std::printf("%d", test.go());
    return 0;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(ThreadTest, FailureBlocksFromManyThreadsStayWhole) {
    TempDir dir;
    auto result = runIn(dir, "threads_run");
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(std::to_string(kFailures), result.out);

    const auto lines = linesOf(readFile(dir.file("threads.out")));
    std::set<std::string> seen;
    int blocks = 0;
    int stepTags = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const std::string& line = lines[k];
        if (startsWith(line, "##    StepTag = step "))
            ++stepTags;
        if (!startsWith(line, "## -       "))
            continue;
        // A block: a blank line, an optional ID line, then tag, file, line.
        ASSERT_GT(k, 0u);
        ASSERT_EQ("", lines[k - 1]) << "line " << k;
        std::string id;
        if (startsWith(line, "## -       ID           = ")) {
            id = line.substr(26);
            ++k;
        }
        ASSERT_LT(k + 2, lines.size());
        ASSERT_TRUE(startsWith(lines[k], "## -       AssertionTag = t")) << "line " << k;
        const std::string tag = lines[k].substr(26);
        const std::string thread = tag.substr(0, tag.find(' '));
        const int i = std::stoi(tag.substr(tag.find("i=") + 2));
        EXPECT_EQ(0, i % 10) << tag;
        if (i % 20 == 0)
            EXPECT_EQ("", id) << tag;
        else
            EXPECT_EQ(thread + ".threads", id) << tag;
        ASSERT_EQ("## -       FileName     = thread.cpp", lines[k + 1]) << "line " << k + 1;
        ASSERT_EQ("## -       LineNumber   = " + std::to_string(i), lines[k + 2])
            << "line " << k + 2;
        EXPECT_TRUE(seen.insert(tag).second) << "twice: " << tag;
        ++blocks;
        k += 2;
    }
    EXPECT_EQ(kFailures, blocks);
    EXPECT_EQ(static_cast<std::size_t>(kFailures), seen.size());
    EXPECT_EQ(2 * kAssertionsPerThread / 1000, stepTags);

    ASSERT_GE(lines.size(), 5u);
    const std::size_t n = lines.size();
    EXPECT_EQ("## Assertions = " + std::to_string(kThreads * kAssertionsPerThread), lines[n - 4]);
    EXPECT_EQ("## FailedAssertions = " + std::to_string(kFailures), lines[n - 3]);
}

// The same in the test process itself, so that the race detector sees the
// object's locking directly.
TEST(ThreadTest, AssertionsFromManyThreadsInOneObject) {
    TempDir dir;
    Probe test("threads", "", dir.path().c_str(), "", false, 0);
    test.createFullOutputFileName();
    test.resetAllAssertionCounts();
    std::vector<std::thread> workers;
    for (int n = 0; n < 4; ++n)
        workers.emplace_back([&test, n] {
            for (int i = 0; i < 2000; ++i) {
                if (n == 0 && i % 500 == 0)
                    test.setStepTag("step");
                test.assertTrue("t", "thread.cpp", i, i % 4 != 0, "x");
            }
        });
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(2000, test.detectedErrors());
    EXPECT_EQ(8000, test.assertionAttempts());
    EXPECT_EQ(2000, ZKQESingletonAssertionFailedCounter::getCount());
    test.closeReport();
    test.resetAllAssertionCounts();
}

} // namespace
