// SPDX-License-Identifier: MIT
// The case runner's console (see console.h). The failure echo is called from
// the reports' failure listener, under the failing object's mutex, so echoed
// lines keep the order of the report's blocks.
#include "cases/console.h"

#include "zkqe_output.h"
#include "platform/platform.h"
#include "reports/failure_listener.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zkqe {

namespace {

bool colour = false;
bool githubActions = false;

const char* paint(const char* code) {
    return colour ? code : "";
}
constexpr const char* kRed = "\033[1;31m";
constexpr const char* kGreen = "\033[1;32m";
constexpr const char* kPlain = "\033[0m";

// The summary names this many failed cases, then counts the rest.
constexpr std::size_t kFailedCasesNamed = 10;

// ` | in "case" / "section"`: which of a table's rows, or which caller of a
// shared helper, failed, when the file and line alone cannot say.
std::string place(const char* caseName, const char* section) {
    std::string text;
    if (caseName != nullptr && *caseName != '\0')
        text = std::string(" | in \"") + caseName + "\"";
    if (!text.empty() && section != nullptr && *section != '\0')
        text += std::string(" / \"") + section + "\"";
    return text;
}

// A workflow command's message and properties: the runner reads a line
// break as the command's end and ':' or ',' as the end of a property.
std::string escapeForGithub(const std::string& text, bool property) {
    std::string out;
    for (const char c : text) {
        if (c == '%')
            out += "%25";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else if (property && c == ':')
            out += "%3A";
        else if (property && c == ',')
            out += "%2C";
        else
            out += c;
    }
    return out;
}

std::string location(const std::string& file, int line) {
    return file + ":" + std::to_string(line);
}

// Every failed case, up to the limit, then how many more; one line each
// through `write`, told whether the line names a case.
template <class Write> void listFailedCases(const std::vector<CaseResult>& results, Write write) {
    std::size_t named = 0, more = 0;
    for (const CaseResult& result : results) {
        if (result.failures.empty())
            continue;
        if (named == kFailedCasesNamed) {
            ++more;
            continue;
        }
        ++named;
        write("\"" + result.name + "\" (" + location(result.file, result.line) + ")", true);
    }
    if (more != 0)
        write("... and " + std::to_string(more) + " more", false);
}

void appendStepSummary(const std::string& program, const std::string& counts,
                       const std::vector<CaseResult>& results) {
    const char* path = std::getenv("GITHUB_STEP_SUMMARY");
    if (path == nullptr || *path == '\0')
        return;
    std::string text = "### " + program + "\n\n" + counts + "\n";
    bool first = true;
    listFailedCases(results, [&](const std::string& line, bool) {
        text += first ? "\nFailed cases:\n\n" : "";
        text += "- " + line + "\n";
        first = false;
    });
    FILE* file = qe_fopen(path, "a");
    if (file == nullptr) {
        std::fprintf(stderr, "zktest: cannot append to GITHUB_STEP_SUMMARY %s\n", path);
        return;
    }
    std::fputs(text.c_str(), file);
    std::fclose(file);
}

} // namespace

void startConsole() {
    // NO_COLOR turns colour off whatever its value, even empty: the user
    // who sets it at all has said enough. CLICOLOR_FORCE (not "0") asks for
    // colour through a pipe, as a CI log that renders it wants.
    const char* force = std::getenv("CLICOLOR_FORCE");
    const bool forced = force != nullptr && *force != '\0' && std::strcmp(force, "0") != 0;
    colour = (forced || platform::isTerminal(stderr)) && std::getenv("NO_COLOR") == nullptr;
    const char* actions = std::getenv("GITHUB_ACTIONS");
    githubActions = actions != nullptr && std::strcmp(actions, "true") == 0;
}

void consoleFailure(const FailureNotice& notice) {
    const std::string file = notice.fileName != nullptr ? notice.fileName : "";
    const char* tag = notice.tag != nullptr ? notice.tag : "";
    const std::string where = place(notice.functionTag, notice.stepTag);
    // Colour only inside the message: a matcher reads "file:line: error: "
    // as plain bytes, so no escape code may fall among them.
    std::fprintf(stderr, "%s:%d: error: %s%s%s%s\n", file.c_str(), notice.lineNumber, paint(kRed),
                 tag, paint(kPlain), where.c_str());
    if (githubActions) {
        const std::string title =
            std::string("zktest: ") + (notice.functionTag != nullptr ? notice.functionTag : "");
        std::fprintf(stderr, "::error file=%s,line=%d,title=%s::%s\n",
                     escapeForGithub(file, true).c_str(), notice.lineNumber,
                     escapeForGithub(title, true).c_str(),
                     escapeForGithub(tag + where, false).c_str());
    }
    std::fflush(stderr);
}

void consoleStopped(const std::string& caseName, const CaseFailure& failure) {
    std::string who = "\"" + caseName + "\"";
    if (!failure.section.empty())
        who += " / \"" + failure.section + "\"";
    std::fprintf(stderr, "%s: note: %s stopped here\n",
                 location(failure.file, failure.line).c_str(), who.c_str());
    std::fflush(stderr);
}

void consoleRunAgain(const std::string& caseName, const std::string& file, int line, unsigned run) {
    std::fprintf(stderr, "%s: warning: \"%s\" failed at run %u: runs again\n",
                 location(file, line).c_str(), caseName.c_str(), run);
}

void consoleCaseStarting(const char* name, const char* file, int line) {
    std::fprintf(stderr, "case: %s (%s:%d)\n", name, file, line);
    std::fflush(stderr);
}

namespace {
bool skipsLeftToParent = false;
} // namespace

void consoleLeaveSkipsToParent() {
    skipsLeftToParent = true;
}

void consoleSkip(const char* file, int line, const char* why) {
    if (skipsLeftToParent)
        return;
    std::fprintf(stderr, "%s:%d: skipped: %s\n", file != nullptr ? file : "", line,
                 why != nullptr ? why : "");
    std::fflush(stderr);
}

void consoleSummary(const std::string& program, const RunTally& tally,
                    const std::vector<CaseResult>& results) {
    const bool passed = tally.casesFailed == 0 && tally.checksFailed == 0;
    // Skips are named only when there are some, so a run without reads as ever.
    char skipped[32] = "";
    if (tally.casesSkipped != 0)
        std::snprintf(skipped, sizeof skipped, ", %d skipped", tally.casesSkipped);
    char flaky[32] = "";
    if (tally.casesFlaky != 0)
        std::snprintf(flaky, sizeof flaky, ", %d flaky", tally.casesFlaky);
    char counts[160];
    std::snprintf(counts, sizeof counts,
                  "cases %d passed%s, %d failed%s; checks %d passed, %d failed", tally.casesPassed,
                  flaky, tally.casesFailed, skipped, tally.checksPassed, tally.checksFailed);
    std::fprintf(stderr, "%szktest:%s %s; %.3f s\n", paint(passed ? kGreen : kRed), paint(kPlain),
                 counts, tally.seconds);
    listFailedCases(results, [](const std::string& line, bool names) {
        std::fprintf(stderr, "zktest: %s%s\n", names ? "failed: " : "", line.c_str());
    });
    for (const CaseResult& result : results)
        if (result.flaky())
            std::fprintf(stderr, "zktest: flaky: \"%s\" (%s) passed at run %u\n",
                         result.name.c_str(), location(result.file, result.line).c_str(),
                         result.runs);
    std::fflush(stderr);
    if (githubActions)
        appendStepSummary(program, counts, results);
}

void consoleSlowest(const std::vector<CaseResult>& results, std::size_t most) {
    std::vector<const CaseResult*> order;
    for (const CaseResult& result : results)
        order.push_back(&result);
    // Stable, so cases of one time keep the run's order.
    std::stable_sort(order.begin(), order.end(), [](const CaseResult* a, const CaseResult* b) {
        return a->seconds > b->seconds;
    });
    if (order.size() > most)
        order.resize(most);
    for (const CaseResult* result : order)
        std::fprintf(stderr, "zktest: slowest: %.3f s \"%s\" (%s:%d)\n", result->seconds,
                     result->name.c_str(), result->file.c_str(), result->line);
}

} // namespace zkqe
