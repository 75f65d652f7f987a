// SPDX-License-Identifier: MIT
// zkreport: reads zktest report files (and the status files beside them),
// prints one row per run and exits non-zero when any run failed or did not
// end in order. With --junit FILE it also writes JUnit XML for CI servers,
// in the runner's own text: a suite per run, a test case per function tag
// of a run (a program of cases sets one per case), or one for a run that
// sets none.
//
// The reports are read by reports/report_reader.cpp and the XML written by
// cases/junit_output.cpp, both compiled in: zkreport does not link the
// library. A report says less than the runner knows: no times, neither the
// suite nor the file of a case (so a run is one suite), no fatal or skipped
// checks, and a hook's function tag even when it passed.
#include "cases/junit_output.h"
#include "reports/report_reader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using zkqe::CaseFailure;
using zkqe::CaseResult;
using zkqe::FailureKind;
using zkqe::ReportRun;

// How a run that did not end in order ended, in a few words; empty when it
// did (a failure limit is an orderly end: its failures speak).
std::string endingNote(const ReportRun& run) {
    std::string note;
    const auto add = [&note](const std::string& text) {
        note += (note.empty() ? "" : "; ") + text;
    };
    if (run.ending == zkqe::ReportEnding::noSummary)
        add("the run ended before its summary");
    else if (run.ending == zkqe::ReportEnding::exception)
        add("the run ended by an exception");
    else if (run.ending == zkqe::ReportEnding::exit)
        add("the run ended by exit");
    if (run.sawFailedCount && run.failedAssertions < 0)
        add("fatal error " + std::to_string(run.failedAssertions));
    if (run.status == "1")
        add("the status file was left at 1");
    return note;
}

// The runner writes an exception that ends a case with this text; the
// report keeps no other sign of the kind of a failure.
FailureKind kindOf(const zkqe::ReportBlock& block) {
    static const std::string exception = "unexpected exception ";
    return block.text.compare(0, exception.size(), exception) == 0 ? FailureKind::exception
                                                                   : FailureKind::check;
}

void addBlocks(const std::vector<zkqe::ReportBlock>& blocks, CaseResult& result) {
    for (const zkqe::ReportBlock& block : blocks)
        result.failures.push_back(
            {block.file, block.line, block.text, block.section, kindOf(block)});
}

// When the report was last written, for the suite's timestamp: the run's
// own start is not in it.
std::time_t writtenAt(const std::string& report) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_time_type written = fs::last_write_time(report, error);
    if (error)
        return 0;
    const auto now = std::chrono::system_clock::now() +
                     std::chrono::duration_cast<std::chrono::system_clock::duration>(
                         written - fs::file_time_type::clock::now());
    return std::chrono::system_clock::to_time_t(now);
}

// A suite per run, its MachineId for a host name. How the run ended, when
// not in order, fails the case it ended in, the last.
std::vector<zkqe::JunitSuite> junitSuites(const std::vector<ReportRun>& runs) {
    std::vector<zkqe::JunitSuite> suites;
    for (const ReportRun& run : runs) {
        zkqe::JunitSuite suite{run.name(), run.name(), run.machineId, writtenAt(run.report), {}};
        for (const zkqe::ReportCase& c : run.cases) {
            suite.cases.emplace_back();
            suite.cases.back().name = c.name;
            suite.cases.back().output = c.lines;
            // Blocks before the first function tag are the run's: its first case's.
            if (suite.cases.size() == 1)
                addBlocks(run.blocks, suite.cases.back());
            addBlocks(c.blocks, suite.cases.back());
        }
        if (suite.cases.empty()) {
            suite.cases.emplace_back();
            suite.cases.back().name = run.name();
            addBlocks(run.blocks, suite.cases.back());
        }
        if (const std::string note = endingNote(run); !note.empty())
            suite.cases.back().failures.push_back({"", 0, note, "",
                                                   run.ending == zkqe::ReportEnding::exception
                                                       ? FailureKind::exception
                                                       : FailureKind::crash});
        suites.push_back(std::move(suite));
    }
    return suites;
}

bool writeJunit(const std::string& path, const std::vector<ReportRun>& runs) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << zkqe::junitText(junitSuites(runs));
    return static_cast<bool>(out);
}

void printTable(const std::vector<ReportRun>& runs) {
    std::size_t tagWidth = 8;
    for (const ReportRun& run : runs)
        tagWidth = std::max(tagWidth, run.name().size());
    std::printf("%-*s  %10s  %8s  %-13s  %s\n", static_cast<int>(tagWidth), "TEST", "ASSERTIONS",
                "FAILURES", "ENDED BY", "STATUS");
    for (const ReportRun& run : runs) {
        const std::string name = run.name();
        char assertions[32];
        if (run.assertions < 0)
            std::snprintf(assertions, sizeof assertions, "-");
        else
            std::snprintf(assertions, sizeof assertions, "%ld", run.assertions);
        std::printf("%-*s  %10s  %8d  %-13s  %s\n", static_cast<int>(tagWidth), name.c_str(),
                    assertions, run.failureBlocks, zkqe::endingText(run.ending),
                    run.status.c_str());
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

    std::vector<ReportRun> runs;
    for (const std::string& report : reports) {
        const zkqe::ReportRead read = zkqe::readReport(report, runs);
        if (read != zkqe::ReportRead::report) {
            const char* format =
                read == zkqe::ReportRead::notReport ? "zkreport: %s is not a report\n"
                : read == zkqe::ReportRead::folder  ? "zkreport: %s is a folder, not a report\n"
                                                    : "zkreport: cannot read %s\n";
            std::fprintf(stderr, format, report.c_str());
            return 2;
        }
    }
    printTable(runs);
    int failed = 0;
    for (const ReportRun& run : runs)
        failed += run.failed() ? 1 : 0;
    std::printf("%zu run%s, %d failed\n", runs.size(), runs.size() == 1 ? "" : "s", failed);
    if (!junit.empty() && !writeJunit(junit, runs)) {
        std::fprintf(stderr, "zkreport: cannot write %s\n", junit.c_str());
        return 2;
    }
    return failed == 0 ? 0 : 1;
}
