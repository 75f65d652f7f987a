// SPDX-License-Identifier: MIT
// Reads report files back: the runs in a file, the part of each run under
// each function tag, its failure blocks and how the run ended. zkreport and
// the case runner's JUnit file both read reports through it, so a report has
// one reading. It parses exactly the lines the library writes, in the layout
// of reports/report_layout.h, and needs no other part of the library:
// zkreport compiles it in rather than linking the library. Reports written on
// Windows carry "\r\n" line ends; the "\r" is dropped.
#ifndef ZKQE_REPORTS_REPORT_READER_H
#define ZKQE_REPORTS_REPORT_READER_H

#include <string>
#include <vector>

namespace zkqe {

enum class ReportEnding { noSummary, summary, failureLimit, exception, exit };

const char* endingText(ReportEnding ending);

// One failure block.
struct ReportBlock {
    std::string file;
    int line = 0;
    std::string text;    // the AssertionTag
    std::string section; // the StepTag in force; empty outside sections
};

// The part of a run under one function tag.
struct ReportCase {
    std::string name;
    std::vector<ReportBlock> blocks;
    std::string lines; // its non-blank report lines, each ending in '\n'
};

struct ReportRun {
    std::string report;
    std::string tag;
    std::string machineId;
    std::vector<ReportCase> cases;
    std::vector<ReportBlock> blocks; // the blocks outside every case
    int failureBlocks = 0;           // the run's, in its cases or not
    long assertions = -1;            // process-wide count from the summary; -1 when absent
    long failedAssertions = 0;       // process-wide; negative after a fatal error
    bool sawFailedCount = false;
    ReportEnding ending = ReportEnding::noSummary;
    std::string status; // "0", "1", or "-" when there is no status file

    // The test tag, or for a report that lost its header (an abort or a crash
    // before anything was flushed) the report's file name without extension.
    std::string name() const;
    bool failed() const;
};

enum class ReportRead { report, unreadable, folder, notReport };

// Appends the runs of the report at `path` (at least one when it is a report).
ReportRead readReport(const std::string& path, std::vector<ReportRun>& runs);

} // namespace zkqe

#endif
