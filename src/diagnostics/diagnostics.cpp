// SPDX-License-Identifier: MIT
// The fatal ends of the library and the one table of its programming-error
// checks. Messages go to standard error through qe_fprintf, so an attached
// debugger sees them too, except the precondition line, which is the C
// library's own assertion message and is written as it would write it.
#include "diagnostics/diagnostics.h"

#include "zkqe_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct PreconditionText {
    const char* text;
    const char* source;
    int line;
};

// The source names and lines under which test authors know these checks;
// indexed by zkqe::Precondition.
constexpr PreconditionText kPreconditions[] = {
    {"path != 0", "..\\zktest", 165},       {"mode != 0", "..\\zktest", 166},
    {"name != NULL", "..\\zkoptions", 234}, {"inx == i || size_t (-1) == i", "..\\zkoptions", 49},
    {"argc >= 0", "..\\zkoptions", 200},    {"str != NULL", "..\\zkoptions", 112},
};
static_assert(sizeof kPreconditions / sizeof kPreconditions[0] ==
                  static_cast<unsigned>(zkqe::Precondition::optionString) + 1,
              "one text per check");

const char kAsterisks[] =
    "***********************************************************************\n";

[[noreturn]] void flushAndAbort() {
    std::fflush(stderr);
    std::abort();
}

} // namespace

namespace zkqe {

void preconditionFailed(Precondition check) {
    const PreconditionText& failed = kPreconditions[static_cast<unsigned>(check)];
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", failed.text, failed.source,
                 failed.line);
    flushAndAbort();
}

void outOfMemory() {
    qe_fprintf(stderr, "*** ERROR: Out of memory\n");
    flushAndAbort();
}

void usageErrorBox(const char* message) {
    qe_fprintf(stderr, "%s", kAsterisks);
    qe_fprintf(stderr, "*** ERROR: %s ***\n", message);
    qe_fprintf(stderr, "%s", kAsterisks);
    flushAndAbort();
}

void reportOpenFailed(const char* path, int openErrno) {
    qe_fprintf(stderr, "failed to open %s: %s\n", path, std::strerror(openErrno));
    flushAndAbort();
}

void headerOpenFailed(const char* path, int openErrno) {
    qe_fprintf(stderr, "Open of %s failed in printHeader: %s\n", path, std::strerror(openErrno));
    std::exit(1);
}

void checkWithoutTest(const char* file, int line) {
    qe_fprintf(stderr, "zktest: the check at %s:%d ran while no test was running\n",
               file != nullptr ? file : "?", line);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace zkqe
