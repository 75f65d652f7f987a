// SPDX-License-Identifier: MIT
// The case runner's standard error: each failure in the compiler's format,
// so editors and CI annotations jump to it; optionally each case as it
// starts; one summary line. Colour only on a terminal and never when
// NO_COLOR is set.
#ifndef ZKQE_CASES_CONSOLE_H
#define ZKQE_CASES_CONSOLE_H

namespace zkqe {

struct RunTally {
    int casesPassed;
    int casesFailed;
    int casesSkipped;
    int checksPassed;
    int checksFailed;
    double seconds;
};

struct FailureNotice;

// Decides colour once, from standard error.
void startConsole();
// One failed check, called under the failing test's mutex.
void consoleFailure(const FailureNotice& notice);
void consoleCaseStarting(const char* name, const char* file, int line);
void consoleSkip(const char* file, int line, const char* why);
void consoleSummary(const RunTally& tally);

} // namespace zkqe

#endif
