// SPDX-License-Identifier: MIT
// zkreport: reads zktest report files (and the status files beside them),
// prints one row per run and exits non-zero when any run failed or did not
// end in order. With --junit FILE it also writes JUnit XML for CI servers:
// a test case per function tag of a run (a program of cases sets one per
// case), or one for a run that sets none.
//
// It parses exactly the lines the library writes, in the layout of
// reports/report_layout.h (included header-only; zkreport does not link the
// library): the "## " header that opens
// a run (or the prefix-less header of a file started by changeOutputFile), the
// failure blocks, the end lines and the summary. Reports written on Windows
// carry "\r\n" line ends; the "\r" is dropped.
#include "cases/junit_output.h"
#include "reports/report_layout.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace layout = zkqe::layout;

const std::string kRunHeader = std::string(layout::kPrefix) + layout::kRule;
const std::string kFileHeader = std::string(layout::kFileRuleMark) + layout::kRule;
const std::string kBlockLine = std::string(layout::kPrefix) + layout::kBlockIndent;
// The test tag's line in a run's header and in a file's header.
const std::string kTestTagLead = std::string(layout::kTestTag.name) + layout::kTestTag.gap;
const std::string kRunTestTagLead = layout::kPrefix + kTestTagLead;
const std::string kFunctionTagLead =
    std::string(layout::kPrefix) + layout::kFunctionTag.name + layout::kFunctionTag.gap + "= ";
const std::string kAssertionTagLine =
    std::string(layout::kAssertionTag.name) + layout::kAssertionTag.gap + "= ";

enum class Ending { NoSummary, Summary, FailureLimit, Exception, Exit };

const char* endingText(Ending ending) {
    switch (ending) {
    case Ending::Summary:
        return "summary";
    case Ending::FailureLimit:
        return "failure limit";
    case Ending::Exception:
        return "exception";
    case Ending::Exit:
        return "exit";
    case Ending::NoSummary:
        break;
    }
    return "no summary";
}

// The part of a run under one function tag.
struct Case {
    std::string name;
    int failureBlocks = 0;
    std::string blocks;
};

struct Run {
    std::string report;
    std::vector<Case> cases;
    std::string tag;
    long assertions = -1;      // process-wide count from the summary; -1 when absent
    long failedAssertions = 0; // process-wide; negative after a fatal error
    bool sawFailedCount = false;
    int failureBlocks = 0; // failure blocks written by this run
    Ending ending = Ending::NoSummary;
    std::string status; // "0", "1", or "-" when there is no status file
    std::string blocks; // the failure blocks' text, for JUnit

    // The test tag, or for a report that lost its header (an abort or a crash
    // before anything was flushed) the report's file name without extension.
    std::string name() const {
        if (!tag.empty())
            return tag;
        std::string base = report.substr(report.find_last_of("/\\") + 1);
        const auto dot = base.rfind('.');
        return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
    }

    bool failed() const {
        return failureBlocks > 0 || (sawFailedCount && failedAssertions != 0) ||
               ending != Ending::Summary || status == "1";
    }
};

bool startsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

// "## Label = value" or "Label     = value": the text after the first "= ".
std::string valueOf(const std::string& line) {
    const auto at = line.find("= ");
    return at == std::string::npos ? std::string() : line.substr(at + 2);
}

bool summaryLine(const std::string& line, const char* label, long& value) {
    const std::string prefix = std::string(layout::kPrefix) + label + " = ";
    if (!startsWith(line, prefix))
        return false;
    value = std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return true;
}

// The status file of a report: the same name with the extension ".sta".
std::string statusOf(const std::string& report) {
    std::string name = report;
    const auto slash = name.find_last_of("/\\");
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        name.erase(dot);
    name += ".sta";
    std::ifstream in(name, std::ios::binary);
    char c = 0;
    if (!in.get(c))
        return "-";
    return std::string(1, c);
}

// A line the library writes into reports and nothing else does: a header,
// a tag, a failure block, an end line or the summary.
bool reportLine(const std::string& line) {
    long value = 0;
    return line == kRunHeader || line == kFileHeader || startsWith(line, kRunTestTagLead) ||
           startsWith(line, kTestTagLead) || startsWith(line, kFunctionTagLead) ||
           startsWith(line, kBlockLine) || summaryLine(line, layout::kAssertions, value) ||
           summaryLine(line, layout::kFailedAssertions, value);
}

enum class Read { report, unreadable, folder, notReport };

Read readRuns(const std::string& path, std::vector<Run>& runs) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return Read::folder;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Read::unreadable;
    const std::string status = statusOf(path);
    const std::size_t first = runs.size();
    std::string line;
    Run* run = nullptr;
    // An empty report is one whose run ended before anything reached it; a
    // file of other lines only is no report at all.
    bool empty = true;
    bool recognised = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        empty = false;
        recognised = recognised || reportLine(line);
        if (line == kRunHeader || line == kFileHeader) {
            runs.emplace_back();
            run = &runs.back();
            run->report = path;
            continue;
        }
        if (run == nullptr) {
            // Lines before any header: a report whose header was lost.
            runs.emplace_back();
            run = &runs.back();
            run->report = path;
        }
        long value = 0;
        if (startsWith(line, kRunTestTagLead) || startsWith(line, kTestTagLead)) {
            run->tag = valueOf(line);
        } else if (startsWith(line, kFunctionTagLead)) {
            run->cases.push_back({line.substr(kFunctionTagLead.size()), 0, ""});
        } else if (startsWith(line, kBlockLine)) {
            const bool opensBlock = line.find(kAssertionTagLine) != std::string::npos;
            const std::string text = line.substr(kBlockLine.size()) + "\n";
            run->failureBlocks += opensBlock ? 1 : 0;
            run->blocks += text;
            if (!run->cases.empty()) {
                run->cases.back().failureBlocks += opensBlock ? 1 : 0;
                run->cases.back().blocks += text;
            }
        } else if (summaryLine(line, layout::kMaxFailuresEnd, value)) {
            run->ending = Ending::FailureLimit;
        } else if (summaryLine(line, layout::kExceptionEnd, value)) {
            run->ending = Ending::Exception;
        } else if (summaryLine(line, layout::kExitEnd, value)) {
            run->ending = Ending::Exit;
        } else if (summaryLine(line, layout::kAssertions, value)) {
            run->assertions = value; // the last one is the process-wide count
        } else if (summaryLine(line, layout::kFailedAssertions, value)) {
            run->failedAssertions = value;
            run->sawFailedCount = true;
            if (run->ending == Ending::NoSummary)
                run->ending = Ending::Summary;
        }
    }
    if (!empty && !recognised) {
        runs.resize(first);
        return Read::notReport;
    }
    if (runs.size() == first) {
        runs.emplace_back();
        runs.back().report = path;
    }
    // The status file speaks for the process, whose last run is the file's last.
    runs.back().status = status;
    for (std::size_t i = first; i + 1 < runs.size(); ++i)
        runs[i].status = status == "1" ? "-" : status;
    return Read::report;
}

// `blocks` failure blocks, and how the run ended when `withEnding`.
std::string failureMessage(const Run& run, int blocks, bool withEnding) {
    std::ostringstream text;
    if (blocks > 0)
        text << blocks << " failed assertion" << (blocks == 1 ? "" : "s");
    if (!withEnding)
        return text.str();
    if (run.ending != Ending::Summary) {
        if (text.tellp() > 0)
            text << "; ";
        text << "ended by " << endingText(run.ending);
    }
    if (run.sawFailedCount && run.failedAssertions < 0) {
        if (text.tellp() > 0)
            text << "; ";
        text << "fatal error " << run.failedAssertions;
    }
    if (run.status == "1") {
        if (text.tellp() > 0)
            text << "; ";
        text << "status file left at 1";
    }
    return text.str();
}

struct JunitCase {
    std::string classname;
    std::string name;
    std::string message; // empty when it passed
    std::string blocks;
};

// A run without function tags is one test case named after the run; a run
// with them is one per tag, classed under the run, and how the run ended
// (a limit, an exception, a status file left at 1) counts against the case
// it ended in, the last.
std::vector<JunitCase> junitCases(const std::vector<Run>& runs) {
    std::vector<JunitCase> cases;
    for (const Run& run : runs) {
        if (run.cases.empty()) {
            cases.push_back({run.report, run.name(),
                             run.failed() ? failureMessage(run, run.failureBlocks, true) : "",
                             run.blocks});
            continue;
        }
        const bool endedBadly = run.failed() && failureMessage(run, 0, true) != "";
        for (std::size_t i = 0; i < run.cases.size(); ++i) {
            const Case& c = run.cases[i];
            const bool last = i + 1 == run.cases.size();
            cases.push_back({run.name(), c.name,
                             c.failureBlocks > 0 || (last && endedBadly)
                                 ? failureMessage(run, c.failureBlocks, last)
                                 : "",
                             c.blocks});
        }
    }
    return cases;
}

bool writeJunit(const std::string& path, const std::vector<Run>& runs) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    const std::vector<JunitCase> cases = junitCases(runs);
    int failures = 0;
    for (const JunitCase& c : cases)
        failures += c.message.empty() ? 0 : 1;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<testsuites tests=\"" << cases.size() << "\" failures=\"" << failures << "\">\n";
    out << "  <testsuite name=\"zktest\" tests=\"" << cases.size() << "\" failures=\"" << failures
        << "\" errors=\"0\">\n";
    for (const JunitCase& c : cases) {
        out << "    <testcase classname=\"" << zkqe::xmlEscape(c.classname) << "\" name=\""
            << zkqe::xmlEscape(c.name) << "\"";
        if (c.message.empty()) {
            out << "/>\n";
            continue;
        }
        out << ">\n      <failure message=\"" << zkqe::xmlEscape(c.message) << "\">"
            << zkqe::xmlEscape(c.blocks) << "</failure>\n    </testcase>\n";
    }
    out << "  </testsuite>\n</testsuites>\n";
    return static_cast<bool>(out);
}

void printTable(const std::vector<Run>& runs) {
    std::size_t tagWidth = 8;
    for (const Run& run : runs)
        tagWidth = std::max(tagWidth, run.name().size());
    std::printf("%-*s  %10s  %8s  %-13s  %s\n", static_cast<int>(tagWidth), "TEST", "ASSERTIONS",
                "FAILURES", "ENDED BY", "STATUS");
    for (const Run& run : runs) {
        const std::string name = run.name();
        char assertions[32];
        if (run.assertions < 0)
            std::snprintf(assertions, sizeof assertions, "-");
        else
            std::snprintf(assertions, sizeof assertions, "%ld", run.assertions);
        std::printf("%-*s  %10s  %8d  %-13s  %s\n", static_cast<int>(tagWidth), name.c_str(),
                    assertions, run.failureBlocks, endingText(run.ending), run.status.c_str());
    }
}

int usage() {
    std::fprintf(stderr, "usage: zkreport [--junit FILE] REPORT...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string junit;
    std::vector<std::string> reports;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--junit") == 0) {
            if (++i >= argc)
                return usage();
            junit = argv[i];
        } else if (std::strcmp(argv[i], "--help") == 0) {
            usage();
            return 0;
        } else {
            reports.push_back(argv[i]);
        }
    }
    if (reports.empty())
        return usage();

    std::vector<Run> runs;
    for (const std::string& report : reports) {
        const Read read = readRuns(report, runs);
        if (read != Read::report) {
            const char* format = read == Read::notReport ? "zkreport: %s is not a report\n"
                                 : read == Read::folder ? "zkreport: %s is a folder, not a report\n"
                                                        : "zkreport: cannot read %s\n";
            std::fprintf(stderr, format, report.c_str());
            return 2;
        }
    }
    printTable(runs);
    int failed = 0;
    for (const Run& run : runs)
        failed += run.failed() ? 1 : 0;
    std::printf("%zu run%s, %d failed\n", runs.size(), runs.size() == 1 ? "" : "s", failed);
    if (!junit.empty() && !writeJunit(junit, runs)) {
        std::fprintf(stderr, "zkreport: cannot write %s\n", junit.c_str());
        return 2;
    }
    return failed == 0 ? 0 : 1;
}
