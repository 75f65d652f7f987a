// SPDX-License-Identifier: MIT
// Whole runs of the test object: what go() writes, returns and leaves behind
// for each way a run can end, and how constructor arguments, setters and
// flags decide where the report goes and what its header says.
#include "open_descriptors.h"
#include "scenario.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

struct Run : scenario::Probe {
    using Probe::Probe;
    using ZKQETest::fullOutputFileName;
};

} // namespace

// Tags, passing assertions, and print and stream pieces in the order written;
// on standard output too, which the report's stream leaves open.
SCENARIO(passing) {
    const int openBefore = openDescriptors();
    scenario::Probe test("passing", "no failures", ".", "passing.out", false, 128, "gcc", "box");
    test.processDefaultArguments(argc - 1, argv + 1);
    test.body = [](scenario::Probe& t) {
        t.setRunTag("run 1");
        t.setFunctionTag("checks");
        t.setStepTag("step 1");
        t.assertTrue("true", "a.cpp", 10, true, "1");
        t.assertSmall("small", "a.cpp", 11, 0.0, "2");
        t.print("one");
        t.outStream() << "two " << 3 << endl;
        t.print("four");
        t.outStream() << "five";
    };
    const int failures = test.go();
    // The report is closed; what the run still holds is the status file's.
    std::printf("after the run, descriptors held: %d\n", openDescriptors() - openBefore);
    return failures;
}

// One failure under a limit of two, then the body returns, fails again and
// reaches the limit, throws, ends on a fatal check, or calls callExit, as
// argv[2] says. (No exit
// status here is 3, which is abort's on Windows.)
SCENARIO(ending) {
    const char* how = argv[2];
    scenario::Probe test("ending", how, ".", "ending.out", false, 2);
    test.body = [how](scenario::Probe& t) {
        t.setFunctionTag("range");
        t.assertTrue("fails", "e.cpp", 1, false, "7");
        t.assertSmall("small enough", "e.cpp", 2, 0.0, "8");
        if (std::strcmp(how, "limit") == 0)
            t.assertSmall("too big", "e.cpp", 3, 0.5, nullptr);
        if (std::strcmp(how, "throw") == 0)
            throw 42;
        if (std::strcmp(how, "require") == 0)
            throw zktest::RequireAbort(); // a fatal check ends the body in order
        if (std::strcmp(how, "exit") == 0) {
            t.outStream() << "unended, before the exit lines"; // still reaches the report
            t.callExit();
        }
        t.print("body returned");
    };
    return test.go();
}

// Setters replace constructor arguments and flags replace both. One object
// runs twice: the second go() finishes the report the first left open (a
// print after it), truncates or appends, counts its own failures afresh, and
// a directory that the first dropped stays dropped.
SCENARIO(flags) {
    std::filesystem::create_directory("sub");
    Run test("flags", "ctor remark", ".", "flags.out", false, 128, "ctor-cc", "ctor-m");
    test.compilerId("set-cc");
    test.remark("set remark");
    test.processDefaultArguments(argc - 1, argv + 1);
    int runs = 0;
    test.body = [&runs](scenario::Probe& t) {
        t.assertTrue(++runs == 1 ? "run 1" : "run 2", "f.cpp", 1, false, nullptr);
    };
    for (int i = 0; i < 2; ++i) {
        const int failed = test.go();
        std::printf("go=%d dir=[%s] file=[%s] full=[%s] append=%d\n", failed, test.outputDir(),
                    test.outputFile(), test.fullOutputFileName, test.appendStatus());
        test.print("after the run");
    }
    return 0;
}

// The report moves to other files and back: a file visited again is appended
// to and brings back its own failure count; a new directory applies to the
// next file named.
SCENARIO(switching) {
    std::filesystem::create_directory("sub");
    scenario::Probe test; // every default: zktest.out in "."
    test.body = [](scenario::Probe& t) {
        t.assertTrue("main fail", "c.cpp", 1, false, "1");
        t.changeOutputFile("first.out");
        t.assertTrue("first fail", "c.cpp", 2, false, "2");
        t.assertTrue("first fail", "c.cpp", 3, false, "3");
        t.outStream() << "streamed into first" << endl;
        t.outputDir("sub");
        t.changeOutputFile("second.out");
        t.print("second");
        t.outputDir(".");
        t.changeOutputFile("first.out");
        std::printf("back in first: %d failed\n", t.detectedErrors());
        t.outStream() << "first again" << endl;
        t.changeOutputFile("zktest.out");
        std::printf("back in main: %d failed\n", t.detectedErrors());
        t.print("main again");
    };
    return test.go();
}

// A null path (no argument) or a null mode (any argument) stops the process.
SCENARIO(null_argument) {
    qe_fopen(argc > 2 ? "never.out" : nullptr, argc > 2 ? nullptr : "w");
    return 0;
}

// Two test objects each given a crash target: the second replaces the first,
// which is closed. A third, given no words at all, changes nothing.
SCENARIO(crash_targets) {
    const int openBefore = openDescriptors();
    char program[] = "crash", flag[] = "-G", first[] = "first.txt", second[] = "second.txt";
    for (char* target : {first, second}) {
        char* words[] = {program, flag, target};
        scenario::Probe test;
        test.processDefaultArguments(3, words);
    }
    scenario::Probe none;
    none.processDefaultArguments(0, argv);
    std::printf("descriptors held: %d\n", openDescriptors() - openBefore);
    return 0;
}

// Of two alarms, the sooner deadline wins whichever flag came first: the
// process is aborted after a second instead of sleeping on.
SCENARIO(alarms) {
    scenario::Probe tests[2];
    for (int i = 0; i < 2; ++i) {
        const char* flags[] = {"alarms", "-L", argv[2 + i]};
        tests[i].processDefaultArguments(3, const_cast<char**>(flags));
    }
    std::this_thread::sleep_for(std::chrono::seconds(20));
    return 0;
}
