// SPDX-License-Identifier: MIT
// What an assertion costs a test body: a passing assertTrue and assertSmall,
// a failing assertTrue written to the report, a step tag, a free line, a
// piece streamed through outStream(), and a passing assertTrue from 1, 2, 4
// and 8 threads on one test object (aggregate items per second, wall-clock
// time). The counter and the lock
// beneath them are measured on their own as well, so that a change to either
// shows where it lands.
//
// Order matters: the library counts with plain stores while the process has
// a single thread, so the benchmarks that start threads run last, and the
// passing assertTrue is measured again once a thread has started.
//
// Reports and the status file go to a fresh directory in the temporary
// directory, removed at the end. Reports that grow during a benchmark are
// cut back to nothing every few thousand writes, outside the timed region,
// so the run neither fills the disk nor times a growing file.
#include "zktest.h"
#include "zktest_checks.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

constexpr benchmark::IterationCount kTruncateEvery = 4096;

// True and small, but the compiler cannot see it.
template <class T> T opaque(T value) {
    benchmark::DoNotOptimize(value);
    return value;
}

const fs::path& reportDirectory() {
    static const fs::path directory = [] {
        std::random_device random;
        fs::path path =
            fs::temp_directory_path() / ("zktest-bench-assertions-" + std::to_string(random()));
        fs::create_directories(path);
        return path;
    }();
    return directory;
}

// A test object whose empty run has named its report, so later writes
// append to it. maxFailures 0: a failure never throws.
class BenchTest : public ZKQETest {
public:
    explicit BenchTest(const char* file)
        : ZKQETest("bench", "", reportDirectory().generic_string().c_str(), file, false, 0,
                   "unknown", "unknown", true, 0.001) {
        go();
    }
    void runTest() override {}

    // Flushes the report and cuts it to nothing; the next write appends at
    // the new end.
    void truncateReport() {
        if (primaryOutput != nullptr)
            std::fflush(primaryOutput);
        fs::resize_file(fullOutputFileName, 0);
    }
};

BenchTest& sharedTest() {
    static BenchTest test("assertions.out");
    return test;
}

// The process-wide count is 32 bits: every benchmark starts it afresh so a
// long run cannot carry it past its range.
void freshCounts(benchmark::State& state) {
    if (state.thread_index() == 0)
        ZKQESingletonAssertionCounter::clearCount();
}

// Runs one report writer per iteration, cutting the report back now and then
// outside the timed region.
template <class Write> void writingToReport(benchmark::State& state, Write write) {
    BenchTest& test = sharedTest();
    freshCounts(state);
    benchmark::IterationCount written = 0;
    for (auto _ : state) {
        write(test);
        if (++written % kTruncateEvery == 0) {
            state.PauseTiming();
            test.truncateReport();
            state.ResumeTiming();
        }
    }
    test.truncateReport();
}

void BM_AssertTruePassing(benchmark::State& state) {
    BenchTest& test = sharedTest();
    freshCounts(state);
    for (auto _ : state)
        test.assertTrue("passes", __FILE__, __LINE__, opaque(true), "1");
}

// The same once the process has started a second thread: the library then
// counts with an atomic read-modify-write instead of a plain store.
void BM_AssertTruePassingThreadedProcess(benchmark::State& state) {
    std::thread([] {}).join();
    BM_AssertTruePassing(state);
}

// A passing value check beside a passing assertTrue: the comparison and the
// check object in flight, nothing formatted.
void BM_CheckEqPassing(benchmark::State& state) {
    BenchTest& test = sharedTest();
    freshCounts(state);
    for (auto _ : state)
        ZKQE_CHECK_EQ_ON(test, opaque(41) + 1, 42);
}

void BM_AssertSmallPassing(benchmark::State& state) {
    BenchTest& test = sharedTest();
    freshCounts(state);
    for (auto _ : state)
        test.assertSmall("small", __FILE__, __LINE__, opaque(0.0005), "2");
}

void BM_AssertTrueFailingToReport(benchmark::State& state) {
    writingToReport(state, [](BenchTest& test) {
        test.assertTrue("fails", __FILE__, __LINE__, opaque(false), "3");
    });
    ZKQESingletonAssertionFailedCounter::clearCount();
}

void BM_SetStepTag(benchmark::State& state) {
    writingToReport(state, [](BenchTest& test) { test.setStepTag("step"); });
}

void BM_Print(benchmark::State& state) {
    writingToReport(state, [](BenchTest& test) { test.print("a free line of the report"); });
}

void BM_OutStreamPiece(benchmark::State& state) {
    writingToReport(state, [](BenchTest& test) { test.outStream() << "a streamed piece\n"; });
}

// Every thread asserts on the one shared object; items per second is the
// aggregate over all threads, against wall-clock time.
void BM_AssertTruePassingThreads(benchmark::State& state) {
    BenchTest& test = sharedTest();
    freshCounts(state);
    for (auto _ : state)
        test.assertTrue("passes", __FILE__, __LINE__, opaque(true), "1");
    state.SetItemsProcessed(state.iterations());
}

// The two pieces a passing assertion is made of.
void BM_AssertionCounterIncrement(benchmark::State& state) {
    freshCounts(state);
    for (auto _ : state)
        ZKQESingletonAssertionCounter::incrCount();
}

void BM_MutexUncontended(benchmark::State& state) {
    static ZKQEMutex mutex;
    for (auto _ : state) {
        ZKQEMutexGuard guard(mutex);
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_AssertTruePassing);
BENCHMARK(BM_CheckEqPassing);
BENCHMARK(BM_AssertSmallPassing);
BENCHMARK(BM_AssertTrueFailingToReport);
BENCHMARK(BM_SetStepTag);
BENCHMARK(BM_Print);
BENCHMARK(BM_OutStreamPiece);
BENCHMARK(BM_AssertionCounterIncrement);
BENCHMARK(BM_MutexUncontended);
// From here on the process has more than one thread, so the 1- and 2-thread
// figures compare the same way of counting.
BENCHMARK(BM_AssertTruePassingThreadedProcess);
BENCHMARK(BM_AssertTruePassingThreads)
    ->Threads(1)
    ->Threads(2)
    ->Threads(4)
    ->Threads(8)
    ->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(reportDirectory(), ignored);
    return 0;
}
