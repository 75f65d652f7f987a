// SPDX-License-Identifier: MIT
// The writers of the report's fixed parts; the texts are those of
// reports/report_layout.h, put together here and nowhere else.
//
// Every writer holds the FILE's own lock for all its lines and flushes them
// before it lets go: the report's stream (outStream()) writes into the same
// FILE, so its pieces never land inside a block; the block reaches the OS in
// one write, so other FILEs appending to the same file cannot split it; and
// nothing written waits in a buffer for a hang or a crash to lose it.
#include "reports/report_writer.h"

#include "zkqe_output.h"
#include "platform/platform.h"
#include "reports/report_layout.h"
#include "reports/report_files.h"

namespace zkqe {

namespace {

using layout::kPrefix;
using layout::Label;

// "<before><lead><indent><name><gap>= <value>\n<after>"
void writeLabelled(FILE* report, const char* before, const char* lead, const char* indent,
                   const Label& label, const char* value, const char* after = "") {
    qe_fprintf(report, "%s%s%s%s%s= %s\n%s", before, lead, indent, label.name, label.gap,
               printable(value), after);
}

// Holds a report FILE's lock for a block of lines and flushes them at the
// end; a null FILE (no report: the text goes to a debugger only) has none.
class BlockHold {
public:
    explicit BlockHold(FILE* report) : report_(report) {
        if (report_ != nullptr)
            platform::lockFile(report_);
    }
    ~BlockHold() {
        if (report_ != nullptr) {
            std::fflush(report_);
            platform::unlockFile(report_);
        }
    }
    BlockHold(const BlockHold&) = delete;
    BlockHold& operator=(const BlockHold&) = delete;

private:
    FILE* report_;
};

void writeCounted(FILE* report, const char* before, const char* label, int count,
                  const char* after) {
    qe_fprintf(report, "%s%s%s = %d\n%s", before, kPrefix, label, count, after);
}

} // namespace

void writeHeader(FILE* report, HeaderKind kind, const HeaderValues& values) {
    const char* lead = kind == HeaderKind::run ? kPrefix : "";
    const char* mark = kind == HeaderKind::run ? kPrefix : layout::kFileRuleMark;
    BlockHold hold(report);
    qe_fprintf(report, "%s%s\n", mark, layout::kRule);
    writeLabelled(report, "", lead, "", layout::kTestTag, values.testTag);
    writeLabelled(report, "", lead, "", layout::kCompilerId, values.compilerId);
    writeLabelled(report, "", lead, "", layout::kMachineId, values.machineId);
    writeLabelled(report, "", lead, "", layout::kRemark, values.remark, "\n");
}

void writeFailureBlock(FILE* report, const char* id, const char* functionTag, const char* tag,
                       const char* fileName, int lineNumber) {
    const char* indent = layout::kBlockIndent;
    BlockHold hold(report);
    qe_fprintf(report, "\n");
    if (id != nullptr) {
        const Label& label = layout::kId;
        if (functionTag == nullptr)
            qe_fprintf(report, "%s%s%s%s= %s\n", kPrefix, indent, label.name, label.gap, id);
        else
            qe_fprintf(report, "%s%s%s%s= %s.%s\n", kPrefix, indent, label.name, label.gap, id,
                       functionTag);
    }
    writeLabelled(report, "", kPrefix, indent, layout::kAssertionTag, tag);
    writeLabelled(report, "", kPrefix, indent, layout::kFileName, fileName);
    qe_fprintf(report, "%s%s%s%s= %d\n", kPrefix, indent, layout::kLineNumber.name,
               layout::kLineNumber.gap, lineNumber);
    // The debugger's own line, in the form its source view can jump from.
    qe_fprintf(nullptr, "\n%s(%d) : assertion failure: %s\n\n", printable(fileName), lineNumber,
               printable(tag));
}

void writeTagLine(FILE* report, TagKind kind, const char* tag) {
    BlockHold hold(report);
    switch (kind) {
    case TagKind::run:
        writeLabelled(report, "\n", kPrefix, "", layout::kRunTag, tag);
        break;
    case TagKind::function:
        writeLabelled(report, "\n\n", kPrefix, "", layout::kFunctionTag, tag);
        break;
    case TagKind::step:
        writeLabelled(report, "\n", kPrefix, layout::kStepIndent, layout::kStepTag, tag);
        break;
    }
}

void writePrintLine(FILE* report, const char* text) {
    BlockHold hold(report);
    qe_fprintf(report, "%s%s\n", kPrefix, printable(text));
}

void writeEndLine(FILE* report, const char* label, int detectedErrors) {
    BlockHold hold(report);
    writeCounted(report, "\n", label, detectedErrors, "\n");
}

void writeSummary(FILE* report, int assertions, int failedAssertions) {
    BlockHold hold(report);
    writeCounted(report, "", layout::kAssertions, assertions, "");
    writeCounted(report, "", layout::kFailedAssertions, failedAssertions, "\n\n");
}

void writeFileAssertions(FILE* report, int assertions) {
    BlockHold hold(report);
    writeCounted(report, "\n", layout::kAssertions, assertions, "\n");
}

void writeExitEnd(FILE* report, int detectedErrors, int failedAssertions) {
    BlockHold hold(report);
    writeCounted(report, "\n", layout::kExitEnd, detectedErrors, "");
    writeCounted(report, "", layout::kFailedAssertions, failedAssertions, "\n\n");
}

void writeUnexpectedException() {
    qe_fprintf(stderr, "%s%s\n", kPrefix, layout::kUnexpectedException);
}

} // namespace zkqe
