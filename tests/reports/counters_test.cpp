// The process-wide counts at their edges and under races. The library counts
// an assertion with a plain store while the process has a single thread and
// with an atomic exchange once it has started another; the edges are checked
// in fresh processes both ways, and the races with threads running.
#include "platform/platform.h"
#include "reports/counters.h"
#include "zktest.h"

#include "zktest_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using zkqe::CounterAccess;

class QuietTest : public ZKQETest {
public:
    // No report file: no status file either.
    QuietTest() : ZKQETest("counters", "", ".", "") {}
    void runTest() override {}
};

// argv[1]: "single" or "threaded" (a thread is started and joined first).
// Prints each count after the steps its line names.
ZKTEST_CHILD_SCENARIO(count_edges) {
    if (argc != 2)
        return 90;
    if (std::strcmp(argv[1], "threaded") == 0) {
        std::thread([] {}).join();
        if (zkqe::platform::processIsSingleThreaded())
            return 91;
    }
    std::atomic<int>& assertions = CounterAccess::assertionCount();
    std::atomic<int>& failures = CounterAccess::failedCount();
    QuietTest test;

    assertions.store(INT_MAX - 1);
    ZKQESingletonAssertionCounter::incrCount();
    std::printf("assertions INT_MAX-1, +1: %d\n", ZKQESingletonAssertionCounter::getCount());
    ZKQESingletonAssertionCounter::incrCount();
    test.assertTrue("t", "f", 1, true, nullptr);
    test.assertSmall("t", "f", 1, 0.0, nullptr);
    std::printf("then +3: %d\n", ZKQESingletonAssertionCounter::getCount());

    assertions.store(-5);
    ZKQESingletonAssertionCounter::incrCount();
    test.assertTrue("t", "f", 1, true, nullptr);
    std::printf("assertions -5, +2: %d\n", ZKQESingletonAssertionCounter::getCount());
    ZKQESingletonAssertionCounter::clearCount();
    test.assertTrue("t", "f", 1, true, nullptr);
    std::printf("cleared, +1: %d\n", ZKQESingletonAssertionCounter::getCount());

    failures.store(INT_MAX - 1);
    ZKQESingletonAssertionFailedCounter::incrCount();
    ZKQESingletonAssertionFailedCounter::incrCount();
    std::printf("failures INT_MAX-1, +2: %d\n", ZKQESingletonAssertionFailedCounter::getCount());
    std::printf("fatal 2 returns: %d\n", ZKQESingletonAssertionFailedCounter::signalFatalError(2));
    ZKQESingletonAssertionFailedCounter::incrCount();
    std::printf("then +1: %d\n", ZKQESingletonAssertionFailedCounter::getCount());
    return 0;
}

const char kEdges[] = "assertions INT_MAX-1, +1: 2147483647\n"
                      "then +3: 2147483647\n"
                      "assertions -5, +2: -5\n"
                      "cleared, +1: 1\n"
                      "failures INT_MAX-1, +2: 2147483647\n"
                      "fatal 2 returns: 2147483647\n"
                      "then +1: -2\n";

TEST(CountEdges, CountsStopAtTheirLargestValueAndStayFrozenWhenNegative) {
    for (const char* mode : {"single", "threaded"}) {
        SCOPED_TRACE(mode);
        const auto child = zktest_support::runChild("count_edges", {mode});
        ASSERT_TRUE(child.exited && child.exitCode == 0) << child.describe() << child.err;
        EXPECT_EQ(zktest_support::asWritten(kEdges), child.out);
    }
}

constexpr int kThreads = 4;
constexpr int kPerThread = 50000;

// Runs `count` on kThreads threads, kPerThread times each; `during` runs on
// this thread once some of the increments have landed.
template <class Count, class Read, class During>
void whileCounting(Count count, Read read, During during) {
    std::atomic<bool> start{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            while (!start.load())
                std::this_thread::yield();
            for (int i = 0; i < kPerThread; ++i)
                count();
        });
    start.store(true);
    while (read() < kPerThread / 2)
        std::this_thread::yield();
    during();
    for (auto& thread : threads)
        thread.join();
}

// Each count on its own: the failed count's lock would serialise the
// threads and hide a lost update of the assertion count.
TEST(CountRaces, EveryConcurrentIncrementIsCounted) {
    ZKQESingletonAssertionCounter::clearCount();
    whileCounting(ZKQESingletonAssertionCounter::incrCount, ZKQESingletonAssertionCounter::getCount,
                  [] {});
    EXPECT_EQ(kThreads * kPerThread, ZKQESingletonAssertionCounter::getCount());
    ZKQESingletonAssertionCounter::clearCount();

    ZKQESingletonAssertionFailedCounter::clearCount();
    whileCounting(ZKQESingletonAssertionFailedCounter::incrCount,
                  ZKQESingletonAssertionFailedCounter::getCount, [] {});
    EXPECT_EQ(kThreads * kPerThread, ZKQESingletonAssertionFailedCounter::getCount());
    ZKQESingletonAssertionFailedCounter::clearCount();
}

TEST(CountRaces, AClearIsNeverUndoneByAnIncrementInFlight) {
    ZKQESingletonAssertionCounter::clearCount();
    int beforeClear = 0;
    whileCounting(ZKQESingletonAssertionCounter::incrCount, ZKQESingletonAssertionCounter::getCount,
                  [&] {
                      beforeClear = ZKQESingletonAssertionCounter::getCount();
                      ZKQESingletonAssertionCounter::clearCount();
                  });
    // Only the increments made after the clear remain: at most all those not
    // yet counted when the count was read just before it.
    const int after = ZKQESingletonAssertionCounter::getCount();
    EXPECT_GE(after, 0);
    EXPECT_LE(after, kThreads * kPerThread - beforeClear)
        << "counted before the clear: " << beforeClear;
    ZKQESingletonAssertionCounter::clearCount();
}

TEST(CountRaces, ANegativeCountStaysAsItIsWhileThreadsCount) {
    ZKQESingletonAssertionCounter::clearCount();
    whileCounting(ZKQESingletonAssertionCounter::incrCount, ZKQESingletonAssertionCounter::getCount,
                  [] { CounterAccess::assertionCount().store(-5); });
    EXPECT_EQ(-5, ZKQESingletonAssertionCounter::getCount());
    ZKQESingletonAssertionCounter::clearCount();
}

TEST(CountRaces, AFatalErrorFreezesTheFailedCountWhileThreadsFail) {
    ZKQESingletonAssertionFailedCounter::clearCount();
    int before = 0;
    whileCounting(ZKQESingletonAssertionFailedCounter::incrCount,
                  ZKQESingletonAssertionFailedCounter::getCount,
                  [&] { before = ZKQESingletonAssertionFailedCounter::signalFatalError(7); });
    EXPECT_GE(before, kPerThread / 2);
    EXPECT_LE(before, kThreads * kPerThread);
    EXPECT_EQ(-7, ZKQESingletonAssertionFailedCounter::getCount());
    ZKQESingletonAssertionFailedCounter::clearCount();
}

} // namespace
