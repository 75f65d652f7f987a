// SPDX-License-Identifier: MIT
// The report's reader (see report_reader.h).
#include "reports/report_reader.h"

#include "reports/report_layout.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zkqe {

namespace {

// The fixed lines and line leads, built per reading: no string of the
// library's is allocated before main, where memcheck would count it.
std::string lead(const layout::Label& label) {
    return std::string(label.name) + label.gap + "= ";
}
struct Leads {
    const std::string runHeader = std::string(layout::kPrefix) + layout::kRule;
    const std::string fileHeader = std::string(layout::kFileRuleMark) + layout::kRule;
    const std::string blockLine = std::string(layout::kPrefix) + layout::kBlockIndent;
    // The header's labelled lines, in a run's header and in a file's header.
    const std::string testTag = lead(layout::kTestTag);
    const std::string runTestTag = layout::kPrefix + testTag;
    const std::string machineId = lead(layout::kMachineId);
    const std::string runMachineId = layout::kPrefix + machineId;
    const std::string functionTag = layout::kPrefix + lead(layout::kFunctionTag);
    const std::string stepTag =
        std::string(layout::kPrefix) + layout::kStepIndent + lead(layout::kStepTag);
    const std::string assertionTag = blockLine + lead(layout::kAssertionTag);
    const std::string fileName = blockLine + lead(layout::kFileName);
    const std::string lineNumber = blockLine + lead(layout::kLineNumber);
};

bool startsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
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
bool reportLine(const Leads& leads, const std::string& line) {
    long value = 0;
    return line == leads.runHeader || line == leads.fileHeader ||
           startsWith(line, leads.runTestTag) || startsWith(line, leads.testTag) ||
           startsWith(line, leads.functionTag) || startsWith(line, leads.blockLine) ||
           summaryLine(line, layout::kAssertions, value) ||
           summaryLine(line, layout::kFailedAssertions, value);
}

// The end lines and the summary: the run's, not its last case's.
bool endLine(const std::string& line, ReportRun& run) {
    long value = 0;
    if (summaryLine(line, layout::kMaxFailuresEnd, value)) {
        run.ending = ReportEnding::failureLimit;
    } else if (summaryLine(line, layout::kExceptionEnd, value)) {
        run.ending = ReportEnding::exception;
    } else if (summaryLine(line, layout::kExitEnd, value)) {
        run.ending = ReportEnding::exit;
    } else if (summaryLine(line, layout::kAssertions, value)) {
        run.assertions = value; // the last one is the process-wide count
    } else if (summaryLine(line, layout::kFailedAssertions, value)) {
        run.failedAssertions = value;
        run.sawFailedCount = true;
        if (run.ending == ReportEnding::noSummary)
            run.ending = ReportEnding::summary;
    } else {
        return false;
    }
    return true;
}

// A failure block's line: the AssertionTag opens the block (an ID line
// before it is part of the text and read no further).
void blockLine(const Leads& leads, const std::string& line, const std::string& section,
               ReportRun& run) {
    std::vector<ReportBlock>& blocks = run.cases.empty() ? run.blocks : run.cases.back().blocks;
    if (startsWith(line, leads.assertionTag)) {
        blocks.push_back({"", 0, line.substr(leads.assertionTag.size()), section});
        ++run.failureBlocks;
    } else if (blocks.empty()) {
        return;
    } else if (startsWith(line, leads.fileName)) {
        blocks.back().file = line.substr(leads.fileName.size());
    } else if (startsWith(line, leads.lineNumber)) {
        blocks.back().line = std::atoi(line.c_str() + leads.lineNumber.size());
    }
}

} // namespace

const char* endingText(ReportEnding ending) {
    // In ReportEnding's order.
    static const char* const texts[] = {"no summary", "summary", "failure limit", "exception",
                                        "exit"};
    return texts[static_cast<int>(ending)];
}

std::string ReportRun::name() const {
    if (!tag.empty())
        return tag;
    std::string base = report.substr(report.find_last_of("/\\") + 1);
    const auto dot = base.rfind('.');
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

bool ReportRun::failed() const {
    return failureBlocks > 0 || (sawFailedCount && failedAssertions != 0) ||
           ending != ReportEnding::summary || status == "1";
}

ReportRead readReport(const std::string& path, std::vector<ReportRun>& runs) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return ReportRead::folder;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return ReportRead::unreadable;
    const Leads leads;
    const std::string status = statusOf(path);
    const std::size_t first = runs.size();
    std::string line;
    ReportRun* run = nullptr;
    std::string section;
    // An empty report is one whose run ended before anything reached it; a
    // file of other lines only is no report at all.
    bool empty = true;
    bool recognised = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        empty = false;
        recognised = recognised || reportLine(leads, line);
        if (line == leads.runHeader || line == leads.fileHeader || run == nullptr) {
            // Lines before any header: a report whose header was lost.
            runs.emplace_back();
            run = &runs.back();
            run->report = path;
            if (line == leads.runHeader || line == leads.fileHeader)
                continue;
        }
        if (startsWith(line, leads.runTestTag) || startsWith(line, leads.testTag)) {
            run->tag = line.substr(line.find("= ") + 2);
        } else if (startsWith(line, leads.runMachineId) || startsWith(line, leads.machineId)) {
            run->machineId = line.substr(line.find("= ") + 2);
        } else if (startsWith(line, leads.functionTag)) {
            run->cases.push_back({line.substr(leads.functionTag.size()), {}, ""});
            section.clear();
            continue;
        } else if (endLine(line, *run)) {
            continue;
        } else if (startsWith(line, leads.stepTag)) {
            section = line.substr(leads.stepTag.size());
        } else if (startsWith(line, leads.blockLine)) {
            blockLine(leads, line, section, *run);
        }
        if (!run->cases.empty() && !line.empty())
            run->cases.back().lines += line + "\n";
    }
    if (!empty && !recognised) {
        runs.resize(first);
        return ReportRead::notReport;
    }
    if (runs.size() == first) {
        runs.emplace_back();
        runs.back().report = path;
    }
    // The status file speaks for the process, whose last run is the file's last.
    runs.back().status = status;
    for (std::size_t i = first; i + 1 < runs.size(); ++i)
        runs[i].status = status == "1" ? "-" : status;
    return ReportRead::report;
}

} // namespace zkqe
