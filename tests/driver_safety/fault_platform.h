// What the crash-guard tests need to know of the OS they run on: how a
// process that died of a fault looks to its parent, and the extra faults
// this OS can raise for real beyond the portable ones.
#ifndef ZKTEST_TESTS_DRIVER_SAFETY_FAULT_PLATFORM_H
#define ZKTEST_TESTS_DRIVER_SAFETY_FAULT_PLATFORM_H

#include "zktest_support.h"

#include <string>
#include <vector>

namespace safety_tests {

// Whether `result` is the end of a process that died of the fault with the
// exception `code`: POSIX, killed by the matching signal; Windows, the code
// as exit status (only its low 8 bits under wine).
bool endedByFault(const zktest_support::ProcessResult& result, unsigned long code);

struct PlatformFault {
    std::string kind;
    std::string name;       // the line's name for it
    unsigned long code;     // the line's code
    std::string skipReason; // non-empty: this leg cannot raise it
};

// Faults beyond the portable ones that only this OS can raise.
std::vector<PlatformFault> platformFaults();

// Raises the fault `kind` of platformFaults(); returns only if it did not
// happen.
void raisePlatformFault(const std::string& kind);

// Why a stack overflow cannot be reported on this leg; empty when it can.
std::string stackOverflowSkipReason();

// Whether the tests run under a user-mode emulator (the i386 leg).
bool underEmulator();

} // namespace safety_tests

#endif
