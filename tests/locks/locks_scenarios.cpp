// SPDX-License-Identifier: MIT
// The lock and the process-wide assertion count under threads.
#include "scenario.h"

#include "locks/counters.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

// A guard holds the lock against another thread until it is destroyed.
SCENARIO(lock) {
    static ZKQEMutex mutex(ZKQEMutex::staticCtor); // initialised on first use, or by init()
    std::printf("initialised before init %d", mutex.initialised);
    mutex.init();
    std::printf(", after %d\n", mutex.initialised);
    std::atomic<bool> entered{false};
    std::thread other;
    {
        ZKQEMutexGuard guard(&mutex);
        other = std::thread([&] {
            mutex.acquire();
            entered = true;
            mutex.release();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::printf("other thread entered while guarded: %d\n", entered.load());
    }
    other.join();
    std::printf("after the guard: %d\n", entered.load());
    return 0;
}

// Threads count into slots of their own: the sum is exact once they have
// ended; a reset from one thread while others assert keeps exactly what was
// counted after it (bounded by what each thread saw of it before each
// assertion); and the sum stops at the count's largest value.
SCENARIO(thread_counts) {
    constexpr int kThreads = 4, kEach = 100000;
    scenario::Probe test("counts", "", ".", "counts.out");
    // 0: before the reset, 1: the reset is about to start, 2: it is done.
    std::atomic<int> phase{2};
    std::atomic<long> sawStart{0}, sawDone{0}, started{0};
    // Each thread asserts until it has made kEach assertions after the reset.
    auto run = [&](bool wait) {
        std::vector<std::thread> threads(kThreads);
        for (std::thread& thread : threads)
            thread = std::thread([&] {
                long afterDone = 0;
                for (long i = 0; afterDone < kEach; ++i) {
                    const int seen = phase.load();
                    test.assertTrue("counted", "t.cpp", 1, true, nullptr);
                    if (seen >= 1)
                        ++sawStart;
                    afterDone += seen == 2;
                    if (i == 1000)
                        ++started;
                }
                sawDone += afterDone;
            });
        for (std::thread& thread : threads)
            if (wait)
                thread.join();
        return threads;
    };
    test.resetAssertionCount();
    run(true);
    std::printf("%d threads of %d: %d\n", kThreads, kEach, test.assertionAttempts());

    phase = 0;
    sawStart = sawDone = started = 0;
    std::vector<std::thread> threads = run(false);
    while (started < kThreads)
        std::this_thread::yield();
    phase = 1;
    test.resetAssertionCount();
    phase = 2;
    for (std::thread& thread : threads)
        thread.join();
    const long count = test.assertionAttempts();
    const bool exact = sawDone <= count && count <= sawStart + kThreads;
    std::printf("reset while they assert: %s\n", exact ? "exact" : std::to_string(count).c_str());

    zkqe::CounterAccess::assertionCount().store(INT_MAX - 10);
    run(true);
    std::printf("near the largest value: %s\n",
                test.assertionAttempts() == INT_MAX ? "stopped there" : "passed it");
    return 0;
}
