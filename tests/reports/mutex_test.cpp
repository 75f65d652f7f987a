// The lock type and the process-wide counters.
#include "zktest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <thread>
#include <vector>

namespace {

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
