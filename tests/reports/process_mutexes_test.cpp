// The three process-wide mutexes: initialised when the library loads, and
// usable again after their exit-time destructors ran, which code running
// later during exit (a counter read by a static destructor) relies on.
#include "reports/process_mutexes.h"
#include "zkqe_mutex.h"

#include <gtest/gtest.h>

namespace {

TEST(ProcessMutexes, AreInitialisedBeforeMain) {
    EXPECT_EQ(1, zkqe::statusFileMutex.initialised);
    EXPECT_EQ(1, zkqe::assertionCountMutex.initialised);
    EXPECT_EQ(1, zkqe::failedCountMutex.initialised);
}

TEST(ProcessMutexes, CountersStillWorkAfterTheirMutexesWereDestroyed) {
    ZKQESingletonAssertionCounter::clearCount();
    ZKQESingletonAssertionFailedCounter::clearCount();
    ZKQESingletonAssertionCounter::incrCount();
    ZKQESingletonAssertionFailedCounter::incrCount();

    // What exit does to them; the counts themselves are untouched.
    zkqe::failedCountMutex.~ZKQEMutex();
    zkqe::assertionCountMutex.~ZKQEMutex();
    ASSERT_EQ(0, zkqe::failedCountMutex.initialised);
    ASSERT_EQ(0, zkqe::assertionCountMutex.initialised);

    // The increment takes no lock; the read initialises its mutex again.
    ZKQESingletonAssertionCounter::incrCount();
    EXPECT_EQ(2, ZKQESingletonAssertionCounter::getCount());
    EXPECT_EQ(1, zkqe::assertionCountMutex.initialised);

    EXPECT_EQ(1, ZKQESingletonAssertionFailedCounter::getCount());
    EXPECT_EQ(1, zkqe::failedCountMutex.initialised);
    EXPECT_EQ(1, ZKQESingletonAssertionFailedCounter::signalFatalError(3));
    EXPECT_EQ(-3, ZKQESingletonAssertionFailedCounter::getCount());

    ZKQESingletonAssertionCounter::clearCount();
    ZKQESingletonAssertionFailedCounter::clearCount();
}

} // namespace
