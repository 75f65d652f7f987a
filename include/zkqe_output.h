// SPDX-License-Identifier: MIT
// Diagnostic output helpers: every file of the library is opened through
// qe_fopen and every report line and diagnostic is written through
// qe_fprintf, which also copies the text to an attached debugger.
#ifndef ZKQE_OUTPUT_H
#define ZKQE_OUTPUT_H

#include "zkqe_export.h"

#include <cstdarg>
#include <cstdio>

// The platform's path separator as a one-character string ("\\" on Windows,
// "/" elsewhere). Set once, never changed.
extern ZKQE_API const char pathSeparator[];

// Opens `path` with `mode`. "/dev/stdout", "/dev/fd/1" and "/dev/tty" give
// the process's standard output, "/dev/stderr" and "/dev/fd/2" its standard
// error (nothing is opened then, and the mode is ignored). Any other path has
// every '/' turned into the separator and is opened with fopen. Null on
// failure, with errno as fopen left it. A null path or mode stops the
// process with an assertion message.
ZKQE_API FILE* qe_fopen(const char* path, const char* mode);

// vfprintf to `stream` (which may be null) and, while a debugger is attached,
// the same text to the debugger (cut at 1023 characters). Returns vfprintf's
// result; with a null stream the length of the debugger text, or -1 when no
// debugger is attached.
ZKQE_API int qe_vfprintf(FILE* stream, const char* format, va_list args);

// Variadic front of qe_vfprintf.
ZKQE_API int qe_fprintf(FILE* stream, const char* format, ...) ZKQE_PRINTF_FORMAT(2, 3);

#endif
