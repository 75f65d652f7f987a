// SPDX-License-Identifier: MIT
// The writers of the report's fixed parts; the texts are those of
// reports/report_layout.h, put together here and nowhere else.
//
// Every writer gathers its lines into one block and hands it to the report
// whole (writeReportText): the report's stream (outStream()) and other
// FILEs appending to the same file cannot land inside it, and nothing
// written waits in a buffer for a hang or a crash to lose, or for the exit
// to write twice.
#include "reports/report_writer.h"

#include "zkqe_output.h"
#include "reports/report_layout.h"
#include "reports/report_files.h"

namespace zkqe {

namespace {

using layout::kPrefix;
using layout::Label;

// "<before><lead><indent><name><gap>= <value>\n<after>"
void addLabelled(ReportText& block, const char* before, const char* lead, const char* indent,
                 const Label& label, const char* value, const char* after = "") {
    block.add("%s%s%s%s%s= %s\n%s", before, lead, indent, label.name, label.gap, printable(value),
              after);
}

void addCounted(ReportText& block, const char* before, const char* label, int count,
                const char* after) {
    block.add("%s%s%s = %d\n%s", before, kPrefix, label, count, after);
}

} // namespace

void writeHeader(FILE* report, HeaderKind kind, const HeaderValues& values) {
    const char* lead = kind == HeaderKind::run ? kPrefix : "";
    const char* mark = kind == HeaderKind::run ? kPrefix : layout::kFileRuleMark;
    ReportText block;
    block.add("%s%s\n", mark, layout::kRule);
    addLabelled(block, "", lead, "", layout::kTestTag, values.testTag);
    addLabelled(block, "", lead, "", layout::kCompilerId, values.compilerId);
    addLabelled(block, "", lead, "", layout::kMachineId, values.machineId);
    addLabelled(block, "", lead, "", layout::kRemark, values.remark, "\n");
    writeReportText(report, block);
}

void writeFailureBlock(FILE* report, const char* id, const char* functionTag, const char* tag,
                       const char* fileName, int lineNumber) {
    const char* indent = layout::kBlockIndent;
    ReportText block;
    block.add("\n");
    if (id != nullptr) {
        const Label& label = layout::kId;
        if (functionTag == nullptr)
            block.add("%s%s%s%s= %s\n", kPrefix, indent, label.name, label.gap, id);
        else
            block.add("%s%s%s%s= %s.%s\n", kPrefix, indent, label.name, label.gap, id, functionTag);
    }
    addLabelled(block, "", kPrefix, indent, layout::kAssertionTag, tag);
    addLabelled(block, "", kPrefix, indent, layout::kFileName, fileName);
    block.add("%s%s%s%s= %d\n", kPrefix, indent, layout::kLineNumber.name, layout::kLineNumber.gap,
              lineNumber);
    writeReportText(report, block);
    // The debugger's own line, in the form its source view can jump from.
    qe_fprintf(nullptr, "\n%s(%d) : assertion failure: %s\n\n", printable(fileName), lineNumber,
               printable(tag));
}

void writeTagLine(FILE* report, TagKind kind, const char* tag) {
    ReportText block;
    switch (kind) {
    case TagKind::run:
        addLabelled(block, "\n", kPrefix, "", layout::kRunTag, tag);
        break;
    case TagKind::function:
        addLabelled(block, "\n\n", kPrefix, "", layout::kFunctionTag, tag);
        break;
    case TagKind::step:
        addLabelled(block, "\n", kPrefix, layout::kStepIndent, layout::kStepTag, tag);
        break;
    }
    writeReportText(report, block);
}

void writePrintLine(FILE* report, const char* text) {
    ReportText block;
    block.add("%s%s\n", kPrefix, printable(text));
    writeReportText(report, block);
}

void writeEndLine(FILE* report, const char* label, int detectedErrors) {
    ReportText block;
    addCounted(block, "\n", label, detectedErrors, "\n");
    writeReportText(report, block);
}

void writeSummary(FILE* report, int assertions, int failedAssertions) {
    ReportText block;
    addCounted(block, "", layout::kAssertions, assertions, "");
    addCounted(block, "", layout::kFailedAssertions, failedAssertions, "\n\n");
    writeReportText(report, block);
}

void writeFileAssertions(FILE* report, int assertions) {
    ReportText block;
    addCounted(block, "\n", layout::kAssertions, assertions, "\n");
    writeReportText(report, block);
}

void writeExitEnd(FILE* report, int detectedErrors, int failedAssertions) {
    ReportText block;
    addCounted(block, "\n", layout::kExitEnd, detectedErrors, "");
    addCounted(block, "", layout::kFailedAssertions, failedAssertions, "\n\n");
    writeReportText(report, block);
}

void writeUnexpectedException() {
    qe_fprintf(stderr, "%s%s\n", kPrefix, layout::kUnexpectedException);
}

} // namespace zkqe
