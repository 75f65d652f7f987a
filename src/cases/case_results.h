// SPDX-License-Identifier: MIT
// What a run of cases found, case by case: the one record every output of the
// runner (console summary, JUnit, TAP) is written from, so they never
// disagree. Filled on the runner's thread between cases and, for failures,
// by the failure listener under the failing test's mutex.
#ifndef ZKQE_CASES_CASE_RESULTS_H
#define ZKQE_CASES_CASE_RESULTS_H

#include <string>
#include <vector>

namespace zkqe {

// How a failure ended (or did not end) its case's run.
enum class FailureKind {
    check,     // a failed check; the run went on
    require,   // a failed check that stopped the run
    exception, // an exception out of the case
    crash,     // a fault the crash guard caught
    timeout,   // the alarm
};

struct CaseFailure {
    std::string file;
    int line = 0;
    std::string text;    // the failure block's tag: the check and its values
    std::string section; // the section path when it failed; empty outside
    FailureKind kind = FailureKind::check;
};

struct CaseResult {
    std::string name;
    std::string file;
    int line = 0;
    // The suite's path ("ring.full"); empty outside every suite, where the
    // file's base name stands for it (see caseSuite).
    std::string suite;
    double seconds = 0;
    std::vector<CaseFailure> failures; // in the report's order
    bool skipped = false;              // ended by a skip, with no failure before it
    std::string skipReason;            // what the skip said
    std::string skipFile;              // where it was called; empty: no skip
    int skipLine = 0;                  // and on which line
    bool hidden = false;               // skipped as hidden ([.]), never run
    std::string output;                // its lines in the report
    // The failures of its runs before the last, when a failed case was run
    // again (--retries), and how many runs it had.
    std::vector<CaseFailure> earlierFailures;
    unsigned runs = 1;
    // Failed, then passed when run again.
    bool flaky() const { return runs > 1 && failures.empty(); }
};

// The case whose failures the listener records now; null between cases.
// Set on the runner's thread only while no check of the case can run.
void recordFailuresInto(CaseResult* result);
// Records one failure into the current case (see recordFailuresInto).
void recordFailure(const char* text, const char* file, int line, const char* section);
// Keeps what a skip of the current case said.
void recordSkip(const char* file, int line, const char* why);

} // namespace zkqe

#endif
