// ZKQEMutex, its guard, the two process-wide counters and the three
// process-wide mutexes.
//
// Lock order: a test object's mutex may be held while a counter mutex is
// taken, never the reverse; each counter operation takes exactly one lock.
#include "zkqe_mutex.h"

#include "platform/platform.h"
#include "reports/process_mutexes.h"

static_assert(sizeof(ZKQEMutex::lock) == zkqe::platform::kLockStorageSize,
              "ZKQEMutex lock storage must match the platform's");

namespace {

// Runs before the process-wide mutexes below: same translation unit, earlier
// definition.
struct PlatformStartup {
    PlatformStartup() { zkqe::platform::processStartup(); }
} platformStartup;

} // namespace

namespace zkqe {

// Definition order is construction order; exit runs the destructors in
// reverse.
ZKQEMutex statusFileMutex;
ZKQEMutex assertionCountMutex;
ZKQEMutex failedCountMutex;

} // namespace zkqe

ZKQEMutex::ZKQEMutex() : initialised(0) {
    init();
}

ZKQEMutex::ZKQEMutex(StaticCtor) {}

ZKQEMutex::~ZKQEMutex() {
    if (initialised != 0) {
        initialised = 0;
        zkqe::platform::lockDelete(lock);
    }
}

void ZKQEMutex::init() {
    zkqe::platform::lockInit(lock);
    initialised = 1;
}

void ZKQEMutex::acquire() {
    if (initialised == 0)
        init();
    zkqe::platform::lockEnter(lock);
}

void ZKQEMutex::release() {
    zkqe::platform::lockLeave(lock);
}

ZKQEMutexGuard::ZKQEMutexGuard(ZKQEMutex& mutex) : mutex_(&mutex) {
    mutex_->acquire();
}

ZKQEMutexGuard::ZKQEMutexGuard(ZKQEMutex* mutex) : mutex_(mutex) {
    mutex_->acquire();
}

ZKQEMutexGuard::~ZKQEMutexGuard() {
    mutex_->release();
}

int ZKQESingletonAssertionCounter::count_ = 0;
int ZKQESingletonAssertionFailedCounter::count_ = 0;

void ZKQESingletonAssertionCounter::incrCount() {
    ZKQEMutexGuard guard(zkqe::assertionCountMutex);
    if (count_ >= 0)
        ++count_;
}

int ZKQESingletonAssertionCounter::getCount() {
    ZKQEMutexGuard guard(zkqe::assertionCountMutex);
    return count_;
}

void ZKQESingletonAssertionCounter::clearCount() {
    ZKQEMutexGuard guard(zkqe::assertionCountMutex);
    count_ = 0;
}

ZKQESingletonAssertionCounter& ZKQESingletonAssertionCounter::getZKQESingletonAssertionCounter() {
    static ZKQESingletonAssertionCounter instance;
    return instance;
}

void ZKQESingletonAssertionFailedCounter::incrCount() {
    ZKQEMutexGuard guard(zkqe::failedCountMutex);
    if (count_ >= 0)
        ++count_;
}

int ZKQESingletonAssertionFailedCounter::getCount() {
    ZKQEMutexGuard guard(zkqe::failedCountMutex);
    return count_;
}

void ZKQESingletonAssertionFailedCounter::clearCount() {
    ZKQEMutexGuard guard(zkqe::failedCountMutex);
    count_ = 0;
}

int ZKQESingletonAssertionFailedCounter::signalFatalError(int code) {
    ZKQEMutexGuard guard(zkqe::failedCountMutex);
    const int before = count_;
    if (count_ >= 0)
        count_ = code > 0 ? -code : (code == 0 ? -1 : code);
    return before;
}

ZKQESingletonAssertionFailedCounter&
ZKQESingletonAssertionFailedCounter::getZKQESingletonAssertionFailedCounter() {
    static ZKQESingletonAssertionFailedCounter instance;
    return instance;
}
