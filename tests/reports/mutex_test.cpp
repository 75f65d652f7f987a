// The lock type and the process-wide counters.
#include "zktest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Whether another thread gets `mutex` within a generous bound. A thread that
// does not is left waiting, so the mutex must stay alive: it is heap memory
// that a failing test leaks.
bool otherThreadAcquires(ZKQEMutex* mutex) {
    std::promise<void> acquired;
    std::future<void> done = acquired.get_future();
    std::thread other([mutex, &acquired] {
        mutex->acquire();
        mutex->release();
        acquired.set_value();
    });
    if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        other.detach();
        return false;
    }
    other.join();
    return true;
}

TEST(MutexTest, StaticCtorInZeroFilledStorageInitialisesOnFirstAcquire) {
    alignas(ZKQEMutex) unsigned char storage[sizeof(ZKQEMutex)];
    std::memset(storage, 0, sizeof storage);
    ZKQEMutex* mutex = new (storage) ZKQEMutex(ZKQEMutex::staticCtor);
    EXPECT_EQ(0, mutex->initialised);
    mutex->acquire();
    EXPECT_EQ(1, mutex->initialised);
    mutex->acquire(); // the owner may enter again
    mutex->release();
    mutex->release();
    mutex->~ZKQEMutex();
    EXPECT_EQ(0, mutex->initialised);
    mutex->~ZKQEMutex(); // a second destruction does nothing
    EXPECT_EQ(0, mutex->initialised);
}

TEST(MutexTest, StaticCtorNeverAcquiredIsLeftUntouchedByDestruction) {
    alignas(ZKQEMutex) unsigned char storage[sizeof(ZKQEMutex)];
    std::memset(storage, 0, sizeof storage);
    ZKQEMutex* mutex = new (storage) ZKQEMutex(ZKQEMutex::staticCtor);
    mutex->~ZKQEMutex();
    const unsigned char zeros[sizeof(ZKQEMutex)] = {};
    EXPECT_EQ(0, std::memcmp(zeros, storage, sizeof storage));
}

TEST(MutexTest, GuardReleasesWhenAnExceptionLeavesItsScope) {
    auto* mutex = new ZKQEMutex;
    try {
        ZKQEMutexGuard guard(*mutex);
        throw std::runtime_error("leaves the scope");
    } catch (const std::runtime_error&) {
    }
    ASSERT_TRUE(otherThreadAcquires(mutex)) << "the guard kept the lock";
    try {
        ZKQEMutexGuard guard(mutex);
        throw 1;
    } catch (int) {
    }
    ASSERT_TRUE(otherThreadAcquires(mutex)) << "the guard kept the lock";
    delete mutex;
}

TEST(MutexTest, OwnerMustReleaseAsOftenAsItAcquired) {
    auto* mutex = new ZKQEMutex;
    std::atomic<int> step{0};
    int otherSawStep = -1;
    mutex->acquire();
    mutex->acquire();
    std::thread other([&] {
        mutex->acquire();
        otherSawStep = step.load();
        mutex->release();
    });
    mutex->release();
    // Still held once: the other thread must not get in before step 1.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    step = 1;
    mutex->release();
    other.join();
    EXPECT_EQ(1, otherSawStep);
    delete mutex;
}

TEST(MutexTest, GuardSerialisesThreads) {
    ZKQEMutex mutex;
    long total = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                ZKQEMutexGuard guard(mutex);
                ++total;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(80000, total);
}

TEST(CounterTest, FatalErrorFreezesTheFailedCount) {
    ZKQESingletonAssertionFailedCounter::clearCount();
    for (int i = 0; i < 3; ++i)
        ZKQESingletonAssertionFailedCounter::incrCount();
    EXPECT_EQ(3, ZKQESingletonAssertionFailedCounter::signalFatalError(5));
    EXPECT_EQ(-5, ZKQESingletonAssertionFailedCounter::getCount());
    ZKQESingletonAssertionFailedCounter::incrCount();
    EXPECT_EQ(-5, ZKQESingletonAssertionFailedCounter::getCount());
    EXPECT_EQ(-5, ZKQESingletonAssertionFailedCounter::signalFatalError(7));
    EXPECT_EQ(-5, ZKQESingletonAssertionFailedCounter::getCount());
    ZKQESingletonAssertionFailedCounter::clearCount();
    EXPECT_EQ(0, ZKQESingletonAssertionFailedCounter::getCount());
    ZKQESingletonAssertionFailedCounter::incrCount();
    EXPECT_EQ(1, ZKQESingletonAssertionFailedCounter::getCount());
    ZKQESingletonAssertionFailedCounter::clearCount();
}

TEST(CounterTest, FatalCodeZeroAndNegativeCodes) {
    ZKQESingletonAssertionFailedCounter::clearCount();
    EXPECT_EQ(0, ZKQESingletonAssertionFailedCounter::signalFatalError(0));
    EXPECT_EQ(-1, ZKQESingletonAssertionFailedCounter::getCount());
    ZKQESingletonAssertionFailedCounter::clearCount();
    ZKQESingletonAssertionFailedCounter::incrCount();
    ZKQESingletonAssertionFailedCounter::incrCount();
    EXPECT_EQ(2, ZKQESingletonAssertionFailedCounter::signalFatalError(-4));
    EXPECT_EQ(-4, ZKQESingletonAssertionFailedCounter::getCount());
    ZKQESingletonAssertionFailedCounter::clearCount();
}

TEST(CounterTest, AssertionCountIsProcessWideAndThreadSafe) {
    ZKQESingletonAssertionCounter::clearCount();
    EXPECT_EQ(&ZKQESingletonAssertionCounter::getZKQESingletonAssertionCounter(),
              &ZKQESingletonAssertionCounter::getZKQESingletonAssertionCounter());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 10000; ++i)
                ZKQESingletonAssertionCounter::incrCount();
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(40000, ZKQESingletonAssertionCounter::getCount());
    ZKQESingletonAssertionCounter::clearCount();
    EXPECT_EQ(0, ZKQESingletonAssertionCounter::getCount());
}

} // namespace
