// SPDX-License-Identifier: MIT
// The report file's one owner: how a report or status path is joined, how
// the report is opened and closed, and how every text reaches it. Only the
// test object's report operations (reports/report_output.cpp) call these;
// nothing here is exported.
//
// Every text the report gets (a header, a failure block, a tag line, a
// printed line, a summary) is gathered whole in a ReportText and handed to
// the OS in one write under the FILE's lock (platform::writeWhole): another
// thread, another FILE appending to the same file, or a line longer than
// any buffer never splits it, and nothing waits in the C library's buffer
// to be lost by a crash or written twice at exit.
//
// The fatal ends they share (out of memory, usage errors, failed opens) are
// in diagnostics/diagnostics.h, below every layer that writes.
#ifndef ZKQE_REPORTS_REPORT_FILES_H
#define ZKQE_REPORTS_REPORT_FILES_H

#include "zkqe_export.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>

namespace zkqe {

// Texts that may be null are printed as "(null)" on every platform, without
// relying on what the C library's "%s" does with a null pointer.
inline const char* printable(const char* text) {
    return text != nullptr ? text : "(null)";
}

// Opens a report file with qe_fopen in `mode`; a file (not a standard
// stream) is kept open for appending, after "w" has truncated it.
FILE* openReportFile(const char* path, const char* mode);

// Closes a report FILE and returns fclose's result. The process's standard
// output and error are only flushed: a report on them must not take them away
// from the rest of the program. A report whose writes or close failed is
// counted (failedReportWriteCount), with the close's errno when it failed.
int closeReportFile(FILE* file);
unsigned failedReportWriteCount();
// "*** WARNING: report <path> was not written whole: <reason>" on standard
// error.
void warnReportNotWhole(const char* path);

// The one rule for a path beside the report: `directory` (null or empty:
// none) and `file` joined by the separator, which is left out when the
// directory already ends with it. With `trailingSlashIsSeparator`, a
// directory's trailing '/' is replaced by the separator in the result.
// *prefixLength (when given) receives the length of the directory part,
// separator included. The result is malloc'ed.
char* joinReportPath(const char* directory, const char* file, bool trailingSlashIsSeparator,
                     std::size_t* prefixLength);
// The status file's path for a report `file` in `directory`: joined by the
// rule above, its extension (after the last separator or '/') replaced by,
// or given, ".sta". The result is malloc'ed; null when there is no memory.
char* statusPathFor(const char* directory, const char* file);

// A block of report text gathered in memory, formatted as qe_fprintf would.
class ReportText {
public:
    ReportText() = default;
    ~ReportText();
    ReportText(const ReportText&) = delete;
    ReportText& operator=(const ReportText&) = delete;

    ZKQE_PRINTF_FORMAT(2, 3) void add(const char* format, ...);
    const char* text() const { return text_; }
    std::size_t size() const { return size_; }

private:
    void reserve(std::size_t capacity);
    static constexpr std::size_t kLocalSize = 512;
    char local_[kLocalSize] = {};
    char* text_ = local_;
    std::size_t size_ = 0;
    std::size_t capacity_ = kLocalSize;
};

// Hands `text` to `report` in one write under the FILE's lock and the same
// text to an attached debugger; a null report gets nothing (the debugger
// still does). A failed write is counted as a close's would be.
void writeReportText(FILE* report, const ReportText& text);

} // namespace zkqe

#endif
