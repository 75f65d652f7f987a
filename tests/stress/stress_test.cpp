// Thread stress of the report writers: many threads fail assertions, change
// tags, print and stream through one test object, and four test objects
// write four reports at once. Each run happens in a fresh child process (so
// the process-wide counts start at zero) and every report is parsed back by
// the checker of report_checker.h: blocks whole, no line split, every count
// exact.
//
// The full counts (8 workers x 10,000 failures on one object) run natively;
// the emulated legs divide them (stress_plan.h).
#include "report_checker.h"
#include "stress_plan.h"
#include "zktest.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using zktest_support::readFile;
using zktest_support::TempDir;

constexpr int kOneObjectWorkers = 8;
constexpr int kOneObjectSteps = 10000;
constexpr int kObjects = 4;
constexpr int kWorkersPerObject = 2;
constexpr int kObjectSteps = 2500;

// Lets the bodies of several test objects end together, so that each
// report's summary shows the final process-wide counts.
class Barrier {
public:
    explicit Barrier(int parties) : waiting_(parties) {}
    void arriveAndWait() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (--waiting_ == 0)
            allArrived_.notify_all();
        else
            allArrived_.wait(lock, [this] { return waiting_ == 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable allArrived_;
    int waiting_;
};

// A test object whose body runs the plan's workers, each on its own thread
// (or one after the other on the body's thread when `serial`).
class StressTest : public ZKQETest {
public:
    StressTest(const char* testTag, const char* file, std::vector<int> workers, int steps,
               bool serial = false, Barrier* barrier = nullptr)
        : ZKQETest(testTag, "stress", ".", file, false, 0), workers_(std::move(workers)),
          steps_(steps), serial_(serial), barrier_(barrier) {}

    void runTest() override {
        if (serial_) {
            for (int worker : workers_)
                work(worker);
        } else {
            std::vector<std::thread> threads;
            for (int worker : workers_)
                threads.emplace_back([this, worker] { work(worker); });
            for (auto& thread : threads)
                thread.join();
        }
        if (barrier_ != nullptr)
            barrier_->arriveAndWait();
    }

private:
    void work(int n) {
        using namespace stress;
        const std::string id = "T" + std::to_string(n);
        for (int i = 0; i < steps_; ++i) {
            if (setsStepTag(i))
                setStepTag(name('s', n, i).c_str());
            if (setsFunctionOrRunTag(i)) {
                if (n % 2 == 0)
                    setFunctionTag(name('F', n, i).c_str());
                else
                    setRunTag(name('R', n, i).c_str());
            }
            if (prints(i))
                print(name('p', n, i).c_str());
            if (streams(i))
                outStream() << ("<" + name('o', n, i) + ">\n").c_str();
            if (passesToo(i))
                assertTrue("pass", "stress.cpp", i, true, id.c_str());
            const std::string tag = name('t', n, i);
            const char* failureId = hasId(i) ? id.c_str() : nullptr;
            if (usesAssertSmall(i))
                assertSmall(tag.c_str(), "stress.cpp", i, 1.0, failureId);
            else
                assertTrue(tag.c_str(), "stress.cpp", i, false, failureId);
        }
    }

    std::vector<int> workers_;
    int steps_;
    bool serial_;
    Barrier* barrier_;
};

std::vector<int> workerRange(int first, int count) {
    std::vector<int> workers;
    for (int n = first; n < first + count; ++n)
        workers.push_back(n);
    return workers;
}

// argv[1]: steps per worker; argv[2]: "serial" to run the workers one after
// the other.
ZKTEST_CHILD_SCENARIO(one_object) {
    const int steps = std::stoi(argv[1]);
    const bool serial = argc > 2 && std::string(argv[2]) == "serial";
    StressTest test("stress", "stress.out", workerRange(0, kOneObjectWorkers), steps, serial);
    std::printf("%d", test.go());
    return 0;
}

// argv[1]: steps per worker. Object j writes r<j>.out with workers 2j, 2j+1;
// the four runs go at once, each on its own thread.
ZKTEST_CHILD_SCENARIO(four_objects) {
    const int steps = std::stoi(argv[1]);
    Barrier barrier(kObjects);
    std::vector<std::unique_ptr<StressTest>> tests;
    for (int j = 0; j < kObjects; ++j) {
        const std::string tag = "stress" + std::to_string(j);
        const std::string file = "r" + std::to_string(j) + ".out";
        tests.push_back(std::make_unique<StressTest>(
            tag.c_str(), file.c_str(), workerRange(j * kWorkersPerObject, kWorkersPerObject), steps,
            false, &barrier));
    }
    std::vector<int> results(kObjects, -1);
    std::vector<std::thread> runs;
    for (int j = 0; j < kObjects; ++j)
        runs.emplace_back([&, j] { results[j] = tests[j]->go(); });
    for (auto& run : runs)
        run.join();
    for (int result : results)
        std::printf("%d ", result);
    return 0;
}

int scaled(int count) {
    return count / stress::scaleDivisor();
}

// Process-wide counts after `workers` workers of `steps` steps.
stress::Expected expectedFor(const std::string& testTag, std::vector<int> workers, int steps,
                             int allWorkers) {
    stress::Expected expected;
    expected.testTag = testTag;
    expected.workers = std::move(workers);
    expected.steps = steps;
    expected.failedAssertions = allWorkers * steps;
    expected.assertions =
        expected.failedAssertions + allWorkers * stress::countSteps(steps, stress::passesToo);
    return expected;
}

std::string describe(const stress::ReportFindings& findings) {
    std::string text;
    for (const auto& problem : findings.problems)
        text += problem + "\n";
    return text;
}

void expectSound(const std::string& what, const std::string& report,
                 const stress::Expected& expected) {
    const stress::ReportFindings findings = stress::checkReport(report, expected);
    EXPECT_TRUE(findings.problems.empty()) << what << ":\n" << describe(findings);
    EXPECT_EQ(static_cast<int>(expected.workers.size()) * expected.steps, findings.blocks) << what;
    // The figures of the run, for the record.
    std::printf("%s: %d failure blocks (%d with an ID), %d prints, %d step, %d function and %d "
                "run tags, %d of %d stream texts arrived\n",
                what.c_str(), findings.blocks, findings.blocksWithId, findings.prints,
                findings.stepTags, findings.functionTags, findings.runTags, findings.streamPieces,
                findings.streamPrefixes);
}

// Runs scenario `name` with `steps` steps per worker, in `dir`.
zktest_support::ProcessResult runScenario(const TempDir& dir, const char* name, int steps) {
    zktest_support::ChildOptions options;
    options.cwd = dir.path();
    return zktest_support::runChild(name, {std::to_string(steps)}, options);
}

TEST(StressTest, EightThreadsThroughOneObject) {
    const int steps = scaled(kOneObjectSteps);
    TempDir dir;
    auto result = runScenario(dir, "one_object", steps);
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(std::to_string(kOneObjectWorkers * steps), result.out);
    expectSound("one object, " + std::to_string(kOneObjectWorkers) + " threads",
                readFile(dir.file("stress.out")),
                expectedFor("stress", workerRange(0, kOneObjectWorkers), steps, kOneObjectWorkers));
    EXPECT_EQ("0", readFile(dir.file("stress.sta")));
}

TEST(StressTest, FourObjectsWriteFourReportsAtOnce) {
    const int steps = scaled(kObjectSteps);
    TempDir dir;
    auto result = runScenario(dir, "four_objects", steps);
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    std::string results;
    for (int j = 0; j < kObjects; ++j)
        results += std::to_string(kWorkersPerObject * steps) + " ";
    EXPECT_EQ(results, result.out);
    for (int j = 0; j < kObjects; ++j) {
        const std::string file = "r" + std::to_string(j) + ".out";
        expectSound(file, readFile(dir.file(file)),
                    expectedFor("stress" + std::to_string(j),
                                workerRange(j * kWorkersPerObject, kWorkersPerObject), steps,
                                kObjects * kWorkersPerObject));
    }
    // The first object named the status file.
    EXPECT_EQ("0", readFile(dir.file("r0.sta")));
}

} // namespace
