// The stress checker: parses a report written by the stress workers of
// stress_plan.h and says what is wrong with it.
//
// The report's lines follow a grammar. Lines written through the report's
// FILE (header, prints, tag lines, failure blocks, summary) are whole. A
// stream piece is written in two steps: outStream() writes "# " under the
// object's lock, the caller then inserts its text after the lock is
// released. Another thread may switch the report back to the FILE between
// the two (which closes the stream, so that text is dropped) or start a
// stream piece of its own. So a line may begin with any number of "# "
// prefixes, and a stream text ("<o..>") may stand after them; whatever
// follows the prefixes must still be one whole line of the grammar.
//
// A failure block is its blank line (which alone may carry "# " prefixes:
// they were written before the block began), an optional ID line and the
// tag, file and line-number lines, contiguous and in that order.
#ifndef ZKTEST_TESTS_STRESS_REPORT_CHECKER_H
#define ZKTEST_TESTS_STRESS_REPORT_CHECKER_H

#include <map>
#include <set>
#include <string>
#include <vector>

namespace stress {

struct Expected {
    std::string testTag;
    std::vector<int> workers; // the global numbers of the object's workers
    int steps = 0;            // failing assertions per worker
    // The process-wide counts the summary must show.
    int assertions = 0;
    int failedAssertions = 0;
};

struct ReportFindings {
    std::vector<std::string> problems; // empty when the report is sound
    int blocks = 0;
    int blocksWithId = 0;
    int prints = 0;
    int stepTags = 0;
    int functionTags = 0;
    int runTags = 0;
    int streamPieces = 0;   // texts that arrived (some may be dropped)
    int streamPrefixes = 0; // "# " prefixes seen
};

// Checks `report` (the file's bytes; "\r\n" line ends are read as "\n")
// against what the workers of `expected` made.
ReportFindings checkReport(const std::string& report, const Expected& expected);

} // namespace stress

#endif
