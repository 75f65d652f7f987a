// What the assertions answer and count, the fatal-error freeze of the
// failed count, the object's lock, and a report rewritten through the
// public header and summary writers after go().
#include "scenario.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

SCENARIO(counts) {
    scenario::Probe test("counts", "", ".", "counts.out");
    test.body = [](scenario::Probe& t) {
        const bool passed = t.assertTrue("holds", "c.cpp", 1, true, "1");
        const bool failed = t.assertTrue("fails", "c.cpp", 2, false, "2");
        t.threshold(0.5);
        std::printf("assertTrue: %d %d, last failed %d\n", passed, failed, t.lastAssertionFailed());
        for (double value : {0.5, -0.5, 0.75, -0.75})
            std::printf("assertSmall(%g): %d\n", value,
                        t.assertSmall("small", "c.cpp", 3, value, "3"));
        std::printf("attempts %d, failed %d\n", t.assertionAttempts(),
                    ZKQESingletonAssertionFailedCounter::getCount());
        // The first fatal error stays: later ones and failures leave it.
        std::printf("fatal 0: %d\n", t.signalUserDefinedError(0));
        std::printf("fatal 7: %d\n", t.signalUserDefinedError(7));
        t.assertTrue("after the fatal error", "c.cpp", 4, false, "4");
        std::printf("failed now %d\n", ZKQESingletonAssertionFailedCounter::getCount());
        ZKQESingletonAssertionFailedCounter::clearCount();
        const int before = t.signalUserDefinedError(-4);
        std::printf("fatal -4 after a clear: %d, failed %d\n", before,
                    ZKQESingletonAssertionFailedCounter::getCount());
    };
    return test.go() == 0 ? 10 : 11;
}

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

// After go(), the object's own header and summary writers start the report
// over; lines printed before are not lost behind them.
SCENARIO(rewrite) {
    scenario::Probe test("rewrite", "again", ".", "rewrite.out");
    test.go();
    test.print("after go");
    test.printHeaderInfo();
    test.assertTrue("in the second header's file", "r.cpp", 9, false, "9");
    test.print("before the summary");
    test.printSummary();
    test.changeOutputFile("second.out");
    test.print("in the second file");
    test.printSummary();
    return 0;
}

// Report names past the table's field that share their end are two files,
// each with its own header and counts.
SCENARIO(long_names) {
    scenario::Probe test("long", "", ".", "run.out");
    test.body = [](scenario::Probe& t) {
        const std::string tail(80, 't'), first = "1" + tail, second = "2" + tail;
        t.changeOutputFile(first.c_str());
        t.assertTrue("in the first", "l.cpp", 1, false, "1");
        t.changeOutputFile(second.c_str());
        t.assertTrue("in the second", "l.cpp", 2, false, "2");
        t.changeOutputFile(first.c_str());
        t.print("back in the first");
    };
    return test.go();
}

#if __has_include(<sys/resource.h>)
// Closes that fail: a file size limit of 0, ignored as a signal, makes the
// flush of the lines a close still holds fail, here in the working directory.
SCENARIO(close_fails) {
    scenario::Probe test("close", "", ".", "run.out");
    test.body = [](scenario::Probe& t) {
        t.print("held until the close");
        const auto action = std::signal(SIGXFSZ, SIG_IGN);
        scenario::limitFileSize(false);
        t.changeOutputFile("second.out"); // its header is closed the other way
        scenario::limitFileSize();
        std::signal(SIGXFSZ, action);
    };
    return test.go();
}
#endif

// The table of report files: counts kept per file, copies that own their
// entries, names past the field's width stored by their tail.
SCENARIO(files) {
    ZKTestVector files;
    files.nameFirstOutfile("first.out");
    files.insertNewoutFile(1, 2, "a.out");
    files.setAssertions(5);
    files.setFailures(6);
    const std::string longName = std::string(90, 'd') + "/tail.out";
    for (int i = 0; i < 70; ++i) // past the first growth
        files.insertNewoutFile(i, -i, i == 69 ? longName.c_str() : "filler");
    ZKTestVector copy(files);
    ZKTestVector assigned;
    assigned = copy;
    files.setCounts(1, 0, 0);
    std::printf("first named again: %d, long name at %d of %d\n", files.nameFirstOutfile("x"),
                assigned.findOutfile(longName.c_str()), assigned.currentOutfile());
    assigned.printVector();
    return 0;
}
