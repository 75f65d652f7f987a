// SPDX-License-Identifier: MIT
// The case runner's standard error: each failure in the compiler's format,
// so editors and CI annotations jump to it; optionally each case as it
// starts; one summary line. Colour only on a terminal and never when
// NO_COLOR is set.
#ifndef ZKQE_CASES_CONSOLE_H
#define ZKQE_CASES_CONSOLE_H

#include <string>
#include <vector>

namespace zkqe {

struct RunTally {
    int casesPassed;
    int casesFailed;
    int casesSkipped;
    int checksPassed;
    int checksFailed;
    double seconds;
};

// Where each echoed failure is also kept, as "file:line: tag"; null for
// nowhere. Set between cases, on the runner's thread.
void consoleKeepFailures(std::vector<std::string>* sink);

// Starts echoing failures (decides colour once, from standard error).
void startConsole();
void stopConsole();
void consoleCaseStarting(const char* name, const char* file, int line);
void consoleSkip(const char* file, int line, const char* why);
void consoleSummary(const RunTally& tally);

} // namespace zkqe

#endif
