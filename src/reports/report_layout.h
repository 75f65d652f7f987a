// SPDX-License-Identifier: MIT
// The layout of a report: every label, padding and fixed line the library
// writes into a report file, in one table that the writers
// (reports/report_writer.h) format and zkreport reads back. Header-only and
// free of the library's other headers, so a tool can include it without
// linking the library; nothing here is exported.
//
// A labelled line reads "<lead><name><gap>= <value>": the gaps align the '='
// of the lines of one group (the header, the failure block).
#ifndef ZKQE_REPORTS_REPORT_LAYOUT_H
#define ZKQE_REPORTS_REPORT_LAYOUT_H

namespace zkqe {
namespace layout {

struct Label {
    const char* name;
    const char* gap;
};

// Every line a run writes through the report's FILE starts with kPrefix; a
// piece written through outStream() starts with kStreamPrefix.
constexpr char kPrefix[] = "## ";
constexpr char kStreamPrefix[] = "# ";

// The header: the rule, then the four labelled lines and an empty line. A
// run's header has kPrefix on every line; the header of a file started by
// changeOutputFile has kFileRuleMark before the rule and no prefix at all.
constexpr char kRule[] = "-------------------------------";
constexpr char kFileRuleMark[] = "#";
constexpr Label kTestTag{"TestTag", "     "};
constexpr Label kCompilerId{"CompilerId", "  "};
constexpr Label kMachineId{"MachineId", "   "};
constexpr Label kRemark{"Remark", "      "};

// A failure block: an empty line, then labelled lines after kPrefix and
// kBlockIndent. The ID line, present only when the assertion has an ID, is
// "<id>.<function tag>" while a function tag is set.
constexpr char kBlockIndent[] = "-       ";
constexpr Label kId{"ID", "           "};
constexpr Label kAssertionTag{"AssertionTag", " "};
constexpr Label kFileName{"FileName", "     "};
constexpr Label kLineNumber{"LineNumber", "   "};

// The tag lines, each after its own empty lines; the step tag is indented.
constexpr Label kRunTag{"RunTag", "      "};
constexpr Label kFunctionTag{"FunctionTag", " "};
constexpr char kStepIndent[] = "   ";
constexpr Label kStepTag{"StepTag", " "};

// Counted lines read "<kPrefix><name> = <count>". A run ends with the summary
// (kAssertions, then kFailedAssertions), preceded by one end line when the
// body stopped early; callExit writes kExitEnd and kFailedAssertions instead.
constexpr char kAssertions[] = "Assertions";
constexpr char kFailedAssertions[] = "FailedAssertions";
constexpr char kMaxFailuresEnd[] = "MaxFailuresEnd";
constexpr char kExceptionEnd[] = "ExceptionEnd";
constexpr char kExitEnd[] = "ExitEnd";

// Written on standard error, after kPrefix, when an exception ended the run.
constexpr char kUnexpectedException[] = "Unexpected Exception";

} // namespace layout
} // namespace zkqe

#endif
