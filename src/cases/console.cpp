// SPDX-License-Identifier: MIT
// The case runner's console (see console.h). The failure echo is called from
// the reports' failure listener, under the failing object's mutex, so echoed
// lines keep the order of the report's blocks.
#include "cases/console.h"

#include "platform/platform.h"
#include "reports/failure_listener.h"

#include <cstdio>
#include <cstdlib>

namespace zkqe {

namespace {

bool colour = false;

const char* paint(const char* code) {
    return colour ? code : "";
}
constexpr const char* kRed = "\033[1;31m";
constexpr const char* kGreen = "\033[1;32m";
constexpr const char* kPlain = "\033[0m";

} // namespace

void startConsole() {
    // NO_COLOR turns colour off whatever its value, even empty: the user
    // who sets it at all has said enough.
    colour = platform::isTerminal(stderr) && std::getenv("NO_COLOR") == nullptr;
}

void consoleFailure(const FailureNotice& notice) {
    const char* fileName = notice.fileName != nullptr ? notice.fileName : "";
    const char* tag = notice.tag != nullptr ? notice.tag : "";
    std::fprintf(stderr, "%s:%d: %sfailure:%s %s\n", fileName, notice.lineNumber, paint(kRed),
                 paint(kPlain), tag);
    std::fflush(stderr);
}

void consoleCaseStarting(const char* name, const char* file, int line) {
    std::fprintf(stderr, "case: %s (%s:%d)\n", name, file, line);
    std::fflush(stderr);
}

void consoleSkip(const char* file, int line, const char* why) {
    std::fprintf(stderr, "%s:%d: skipped: %s\n", file != nullptr ? file : "", line,
                 why != nullptr ? why : "");
    std::fflush(stderr);
}

void consoleSummary(const RunTally& tally) {
    const bool passed = tally.casesFailed == 0 && tally.checksFailed == 0;
    // Skips are named only when there are some, so a run without reads as ever.
    char skipped[32] = "";
    if (tally.casesSkipped != 0)
        std::snprintf(skipped, sizeof skipped, ", %d skipped", tally.casesSkipped);
    std::fprintf(stderr,
                 "%szktest:%s cases %d passed, %d failed%s; checks %d passed, %d failed; %.3f s\n",
                 paint(passed ? kGreen : kRed), paint(kPlain), tally.casesPassed, tally.casesFailed,
                 skipped, tally.checksPassed, tally.checksFailed, tally.seconds);
    std::fflush(stderr);
}

} // namespace zkqe
