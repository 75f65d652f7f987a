// SPDX-License-Identifier: MIT
// The writers of the report's fixed parts, in the layout of
// reports/report_layout.h: the header, the failure block, the tag lines, the
// end lines and the summary. Each hands its lines to the report as one block
// in one write (reports/report_files.h), and the same text to an attached
// debugger.
//
// They take no lock: callers hold the object's mutex where other threads may
// write to the same FILE.
#ifndef ZKQE_REPORTS_REPORT_WRITER_H
#define ZKQE_REPORTS_REPORT_WRITER_H

#include <cstdio>

namespace zkqe {

struct HeaderValues {
    const char* testTag;
    const char* compilerId;
    const char* machineId;
    const char* remark;
};

// A run's header (every line prefixed) or the header of a file started by
// changeOutputFile (no prefix).
enum class HeaderKind { run, file };
void writeHeader(FILE* report, HeaderKind kind, const HeaderValues& values);

// `id` may be null (no ID line); `functionTag` may be null (the ID alone).
void writeFailureBlock(FILE* report, const char* id, const char* functionTag, const char* tag,
                       const char* fileName, int lineNumber);

enum class TagKind { run, function, step };
void writeTagLine(FILE* report, TagKind kind, const char* tag);

// A free line of print(): the prefix and the text.
void writePrintLine(FILE* report, const char* text);

// The line that says why the body stopped early (kMaxFailuresEnd,
// kExceptionEnd), set off by empty lines.
void writeEndLine(FILE* report, const char* label, int detectedErrors);
// The process-wide counts that close a run.
void writeSummary(FILE* report, int assertions, int failedAssertions);
// The count of the file being left, as printSummary writes it first.
void writeFileAssertions(FILE* report, int assertions);
// callExit's lines.
void writeExitEnd(FILE* report, int detectedErrors, int failedAssertions);
// Standard error's line after an exception ended the run.
void writeUnexpectedException();

} // namespace zkqe

#endif
