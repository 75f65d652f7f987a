// Programming-error checks of the library. A failed check prints the same
// line on every build, whatever NDEBUG says, and aborts:
//   Assertion failed: <text>, file <source>, line <line>
// The text, source and line are given by the caller, so the message names
// the check as test authors know it rather than this file's location.
#ifndef ZKQE_DRIVER_PRECONDITION_H
#define ZKQE_DRIVER_PRECONDITION_H

namespace zkqe {

[[noreturn]] void preconditionFailed(const char* text, const char* source, int line);

} // namespace zkqe

#define ZKQE_PRECONDITION(condition, text, source, line)                                           \
    ((condition) ? (void)0 : ::zkqe::preconditionFailed(text, source, line))

// The source names under which the checks are reported.
#define ZKQE_SOURCE_DRIVER "..\\zktest"
#define ZKQE_SOURCE_OPTIONS "..\\zkoptions"

#endif
