// SPDX-License-Identifier: MIT
// What the assertions answer and count, the fatal-error freeze of the
// failed count, a report rewritten through the public header and summary
// writers after go(), and one report written by many threads every way at
// once.
#include "open_descriptors.h"
#include "report_stress.h"
#include "scenario.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>
#if !defined(_WIN32)
#include <unistd.h>
#endif

SCENARIO(counts) {
    scenario::Probe test("counts", "", ".", "counts.out");
    test.body = [](scenario::Probe& t) {
        std::printf("last failed at the start %d\n", t.lastAssertionFailed());
        // A thread's first assertion takes the slow path to its count.
        std::printf("the first pass: %d\n", t.assertTrue("first", "c.cpp", 0, true, "0"));
        t.assertTrue("before the reset", "c.cpp", 0, false, "0");
        t.resetAllAssertionCounts();
        std::printf("reset all: attempts %d, failed %d; limit by default %d\n",
                    t.assertionAttempts(), ZKQESingletonAssertionFailedCounter::getCount(),
                    t.maxFailures());
        const bool passed = t.assertTrue("holds", "c.cpp", 1, true, "1");
        const bool failed = t.assertTrue("fails", "c.cpp", 2, false, "2");
        t.threshold(0.5);
        std::printf("assertTrue: %d %d, last failed %d", passed, failed, t.lastAssertionFailed());
        t.assertTrue("holds again", "c.cpp", 1, true, "1");
        std::printf(", after a pass %d\n", t.lastAssertionFailed());
        // A pass after a failure clears the last outcome.
        for (double value : {0.75, -0.75, 0.5, -0.5}) {
            const bool small = t.assertSmall("small", "c.cpp", 3, value, "3");
            std::printf("assertSmall(%g): %d, last failed %d\n", value, small,
                        t.lastAssertionFailed());
        }
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

// After go(), the object's own header and summary writers start the report
// over; lines printed before are not lost behind them.
SCENARIO(rewrite) {
    scenario::Probe test("rewrite", "again", ".", "rewrite.out");
    test.go();
    test.print("after go");
    const int openAfterGo = openDescriptors();
    test.printHeaderInfo();
    std::printf("a new header leaves the open report closed: %d fewer open\n",
                openAfterGo - openDescriptors());
    test.assertTrue("in the second header's file", "r.cpp", 9, false, "9");
    test.print("before the summary");
    test.printSummary();
    test.changeOutputFile("second.out");
    test.print("in the second file");
    test.printSummary();
    test.setRunTag("a tag after the summary");
    return 0;
}

// Report names past the table's field that share their end are two files,
// each with its own header and counts; a failure whose tag and file name are
// both long is one block, whose text grows twice.
SCENARIO(long_names) {
    scenario::Probe test("long", "", ".", "run.out");
    test.body = [](scenario::Probe& t) {
        const std::string tail(80, 't'), first = "1" + tail, second = "2" + tail;
        t.changeOutputFile(first.c_str());
        t.assertTrue("in the first", "l.cpp", 1, false, "1");
        const int openInFirst = openDescriptors();
        t.changeOutputFile(second.c_str());
        std::printf("a new file clears the last failure: %d, and closes the old one: %d more\n",
                    t.lastAssertionFailed(), openDescriptors() - openInFirst);
        t.assertTrue("in the second", "l.cpp", 2, false, "2");
        t.changeOutputFile(first.c_str());
        t.print("back in the first");
        t.assertTrue(std::string(600, 'a').c_str(), std::string(600, 'f').c_str(), 3, false, "3");
    };
    return test.go();
}

// Writing before go() has named the report is a usage error, said between
// two rows of asterisks: through outStream(), or through a report writer.
SCENARIO(before_go) {
    scenario::Probe test("early", "", ".", "run.out");
    if (std::string(argv[2]) == "stream")
        test.outStream() << "too early";
    else
        test.print("too early");
    return 0;
}

// The stream lets go of the report when the run ends; written to afterwards,
// it opens the report again and adds to it.
SCENARIO(stream_after_go) {
    scenario::Probe test("late", "", ".", "run.out");
    test.go();
    test.outStream() << "streamed after go\n";
    return 0;
}

// A new header whose file cannot be opened ends the process, naming it.
SCENARIO(header_unopenable) {
    scenario::Probe test("unopenable", "", ".", "run.out");
    test.go();
    test.changeOutputFile("missing/second.out");
    test.printHeaderInfo();
    std::printf("not reached\n");
    return 0;
}

#if !defined(_WIN32)
// Closes that fail: the descriptor under the report's FILE is closed behind
// its back, so the FILE's own close fails (every line reached the OS before).
SCENARIO(close_fails) {
    scenario::Probe test("close", "", ".", "run.out");
    test.body = [](scenario::Probe& t) {
        t.print("before the change");
        close(fileno(t.primaryOutput));
        t.changeOutputFile("second.out");
        t.print("in the second file");
        close(fileno(t.primaryOutput));
        t.printSummary();
    };
    return test.go();
}

// A process started with standard error or output closed: the status file
// must not take the descriptor, nor collect diagnostics or the report.
// argv[2] names the descriptor closed; the rest are the test's flags.
SCENARIO(closed_standard) {
    close(std::atoi(argv[2]));
    scenario::Probe test("closed", "", ".", "run.out");
    test.processDefaultArguments(argc - 2, argv + 2);
    qe_fprintf(stderr, "a diagnostic\n");
    test.body = [](scenario::Probe& t) { t.print("a line"); };
    return test.go();
}

// A status file that cannot be written (a full disk) is said, at its start
// and at its end.
SCENARIO(status_full) {
    if (symlink("/dev/full", "run.sta") != 0)
        return 2;
    scenario::Probe test("full", "", ".", "run.out");
    const int failures = test.go();
    std::remove("run.sta");
    return failures;
}
#endif

// The table of report files: counts kept per file, copies that own their
// entries, names past the field's width stored by their tail.
SCENARIO(files) {
    ZKTestVector files;
    files.nameFirstOutfile("first.out");
    const bool renamedAlone = files.nameFirstOutfile("renamed.out"); // the first keeps its name
    files.insertNewoutFile(1, 2, "a.out");
    files.setAssertions(5);
    files.setFailures(6);
    const std::string longName = std::string(90, 'd') + "/tail.out";
    // Past the first growth, to the brim of the second: copies of a full table.
    for (int i = 0; i < 126; ++i)
        files.insertNewoutFile(i, -i, i == 125 ? longName.c_str() : "filler");
    ZKTestVector copy(files);
    ZKTestVector assigned;
    assigned = copy;
    files.setCounts(1, 0, 0);
    std::printf("first named again: %d and %d, long name at %d of %d\n", renamedAlone,
                files.nameFirstOutfile("x"), assigned.findOutfile(longName.c_str()),
                assigned.currentOutfile());
    assigned.printVector();
    return 0;
}

// The strict checker's short run: argv[2] threads, argv[3] pieces each,
// argv[4] "switch" to move the report between files meanwhile, argv[5]
// "own" for streams of the threads' own on the report's file.
SCENARIO(stress) {
    const int threads = std::atoi(argv[2]);
    const bool switching = std::string(argv[4]) == "switch";
    const bool own = argc > 5 && std::string(argv[5]) == "own";
    const stress::Figures figures = stress::run(threads, std::atoi(argv[3]), switching, own);
    stress::print(figures, threads, switching);
    return stress::clean(figures) ? 0 : 1;
}
