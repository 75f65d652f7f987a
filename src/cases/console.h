// SPDX-License-Identifier: MIT
// The case runner's standard error: each failure in the compiler's format,
// "file:line: error: text | in "case" / "section"", so editors and CI
// matchers jump to it; a note where a fatal check or an exception stopped a
// case; optionally each case as it starts; the summary and the failed cases.
// Colour on a terminal or with CLICOLOR_FORCE, never with NO_COLOR. Under
// GitHub Actions each failure is also a workflow command, and the summary
// goes to the step summary file too.
#ifndef ZKQE_CASES_CONSOLE_H
#define ZKQE_CASES_CONSOLE_H

#include "cases/case_results.h"

#include <string>
#include <vector>

namespace zkqe {

struct RunTally {
    int casesPassed;
    int casesFailed;
    int casesSkipped;
    int casesFlaky; // passed when run again, counted apart from the passed
    int checksPassed;
    int checksFailed;
    double seconds;
};

struct FailureNotice;

// Decides colour and GitHub Actions once, from standard error and the
// environment.
void startConsole();
// One failed check, called under the failing test's mutex.
void consoleFailure(const FailureNotice& notice);
// Where `failure` (a fatal check's, an exception's) ended the case's run.
void consoleStopped(const std::string& caseName, const CaseFailure& failure);
// A case that failed at its `run`th run and runs again.
void consoleRunAgain(const std::string& caseName, const std::string& file, int line, unsigned run);
void consoleCaseStarting(const char* name, const char* file, int line);
void consoleSkip(const char* file, int line, const char* why);
// In a worker: its skips are said by the parent, in the run's order.
void consoleLeaveSkipsToParent();
// The `most` slowest cases, slowest first.
void consoleSlowest(const std::vector<CaseResult>& results, std::size_t most);
void consoleSummary(const std::string& program, const RunTally& tally,
                    const std::vector<CaseResult>& results);

} // namespace zkqe

#endif
