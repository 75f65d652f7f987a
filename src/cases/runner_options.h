// SPDX-License-Identifier: MIT
// The case runner's command line, read as words: argv[0] is the program's
// path and is never searched, so a folder such as "build-Debug" holds no
// flag. Each option is a word of its own; a single-letter option's value is
// the next word whole (or glued, "-Ofile"), a long option's the next word or
// after "=". A word without a dash is a filter term.
#ifndef ZKQE_CASES_RUNNER_OPTIONS_H
#define ZKQE_CASES_RUNNER_OPTIONS_H

#include <string>

namespace zkqe {

struct RunnerOptions {
    bool list = false;
    bool listNames = false;
    bool listTests = false;
    bool verbose = false;
    bool help = false;
    // --filter's terms and the words without a dash, joined by commas.
    std::string filter;
    bool filterGiven = false;
    // The flags every test takes; empty when not given.
    std::string outputFile;
    std::string outputDir;
    std::string machineId;
    std::string compilerId;
    std::string crashTarget;
    unsigned alarmSeconds = 0;
    bool append = false;
    // Ends the run at this many failed checks; 0: a suite runs to its end.
    unsigned maxFailures = 0;
    // Run only the selected cases whose place in the selection, counted
    // from 0, leaves shardIndex when divided by shardCount; 0: no sharding.
    unsigned shardCount = 0;
    unsigned shardIndex = 0;
    bool shardIndexGiven = false;
    // Each selected case runs `repeat` times over; with `shuffle`, in an
    // order drawn from `seed` (a new seed, printed, when none is given).
    unsigned repeat = 1;
    bool shuffle = false;
    unsigned seed = 0;
    bool seedGiven = false;
    // TAP on standard output, or into tapFile when that is given.
    bool tap = false;
    std::string tapFile;
    // Where the JUnit XML goes; empty: nowhere (XML_OUTPUT_FILE aside).
    std::string junitFile;
    // The cases run in `jobs` worker processes (0: one per usable core)
    // when jobsGiven; isolation, a timeout or retries ask for workers too.
    unsigned jobs = 0;
    bool jobsGiven = false;
    bool isolate = false;        // a fresh worker for every case
    unsigned retries = 0;        // more runs of a case that failed
    unsigned timeoutSeconds = 0; // a case's longest run; 0: none
    bool durations = false;      // each case's time in the report, the slowest said
    // Set in a worker started again by name: the pipes to its parent.
    std::string workerChannel;
    // Set in a death check's child: "<case>:<check>" (cases/death_checks.h).
    std::string deathChild;
    // The first word that could not be read, said in one line; empty when
    // every word was read.
    std::string error;
};

RunnerOptions parseRunnerArguments(int argc, char** argv);

// `text` as a whole number from `least` to the largest unsigned, into
// `number`; false, leaving `number`, for anything else.
bool parseWholeNumber(const std::string& text, unsigned least, unsigned* number);

} // namespace zkqe

#endif
