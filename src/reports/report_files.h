// SPDX-License-Identifier: MIT
// Report files: how one is opened, named and closed, how a write that did
// not reach it is counted and told, and how a null text is printed. Shared by
// the report writers here and the run driver above; nothing here is exported.
//
// The fatal ends they share (out of memory, usage errors, failed opens) are
// in diagnostics/diagnostics.h, below every layer that writes.
#ifndef ZKQE_REPORTS_REPORT_FILES_H
#define ZKQE_REPORTS_REPORT_FILES_H

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

// `directory` (null or empty: none) and `file` joined by the separator, which
// is left out when the directory already ends with it. With
// `trailingSlashIsSeparator`, a directory's trailing '/' is replaced by the
// separator in the result. *prefixLength (when given) receives the length of
// the directory part, separator included. The result is malloc'ed.
char* joinReportPath(const char* directory, const char* file, bool trailingSlashIsSeparator,
                     std::size_t* prefixLength);

} // namespace zkqe

#endif
