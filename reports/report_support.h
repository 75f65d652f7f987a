// Internal helpers shared by the test object's report writers (reports/) and
// its run driver (driver/). Nothing here is exported.
//
// The fatal ends they share (out of memory, usage errors, failed opens) are
// in driver/diagnostics/diagnostics.h, below every layer that writes.
#ifndef ZKQE_REPORTS_REPORT_SUPPORT_H
#define ZKQE_REPORTS_REPORT_SUPPORT_H

#include <cstddef>
#include <cstdio>

namespace zkqe {

// Texts that may be null are printed as "(null)" on every platform, without
// relying on what the C library's "%s" does with a null pointer.
inline const char* printable(const char* text) {
    return text != nullptr ? text : "(null)";
}

// Closes a report FILE and returns fclose's result. The process's standard
// output and error are only flushed: a report on them must not take them away
// from the rest of the program.
int closeReportFile(FILE* file);

// `directory` (null or empty: none) and `file` joined by the separator, which
// is left out when the directory already ends with it. With
// `trailingSlashIsSeparator`, a directory's trailing '/' is replaced by the
// separator in the result. *prefixLength (when given) receives the length of
// the directory part, separator included. The result is malloc'ed.
char* joinReportPath(const char* directory, const char* file, bool trailingSlashIsSeparator,
                     std::size_t* prefixLength);

} // namespace zkqe

#endif
