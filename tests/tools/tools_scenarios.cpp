// SPDX-License-Identifier: MIT
// zkreport over reports written by real runs of this process. It reads them
// at exit, after the status file's finaliser has written its "0", so that a
// run ending the process (an escaped exception, callExit) is among them.
#include "scenario.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int zkreport_main(int argc, char** argv); // tools/zkreport.cpp's main, renamed

namespace {

void summarise() {
    // A run that lost its whole report is named after the file, and failed.
    if (FILE* lost = std::fopen("lost.out", "w"))
        std::fclose(lost);
    const char* all[] = {"zkreport", "--junit",   "junit.xml", "alpha.out",
                         "beta.out", "gamma.out", "delta.out", "lost.out"};
    std::printf("exit %d\n", zkreport_main(8, const_cast<char**>(all)));
    // What is no readable report is a usage error, not a failed run.
    if (FILE* notes = std::fopen("notes.txt", "w")) {
        std::fputs("not a report\n", notes);
        std::fclose(notes);
    }
    for (const char* unreadable : {"missing.out", ".", "notes.txt"}) {
        const char* args[] = {"zkreport", unreadable};
        std::printf("exit %d\n", zkreport_main(2, const_cast<char**>(args)));
    }
}

void summariseVersioned() {
    const char* args[] = {"zkreport", "v1.2/run"};
    std::printf("exit %d\n", zkreport_main(2, const_cast<char**>(args)));
}

} // namespace

// Runs with 0 to 3 failures that pass, fail, reach their limit, and end the
// process as argv[2] says (throw or exit).
SCENARIO(summary) {
    std::atexit(summarise); // before the status file's finaliser is registered
    const char* tags[] = {"alpha", "beta", "gamma", "delta"};
    for (int i = 0; i < 4; ++i) {
        // Limits 3 to 0: only gamma's stops it, and 0 stops nothing.
        scenario::Probe run(tags[i], "", ".", (std::string(tags[i]) + ".out").c_str(), 0, 3 - i);
        run.body = [&](scenario::Probe& t) {
            // beta's JUnit cases are its function tags, one clean, one not.
            if (i == 1)
                t.setFunctionTag("clean case");
            t.assertTrue("passes", "r.cpp", 1, true, nullptr);
            if (i == 1)
                t.setFunctionTag("failing case");
            for (int f = 0; f < i; ++f)
                t.assertTrue("fails <&>", "r.cpp", 2, false, "9");
            if (i == 3)
                argv[2][0] == 't' ? throw 42 : t.callExit();
        };
        run.go();
    }
    return 0;
}

// A report without an extension in a folder whose name has a dot: its status
// file is the report's name and ".sta", in that folder, and zkreport finds it.
// Two runs appended to it: the status file speaks for the process, so the
// earlier run of a process that ended in order shows its "0" too.
SCENARIO(versioned_folder) {
    std::filesystem::create_directory("v1.2");
    std::atexit(summariseVersioned);
    for (const char* tag : {"versioned", "appended"}) {
        scenario::Probe run(tag, "", "v1.2", "run", true);
        run.body = [](scenario::Probe& t) { t.assertTrue("passes", "r.cpp", 1, true, nullptr); };
        run.go();
    }
    return 0;
}
