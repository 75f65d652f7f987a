// Faults every leg can raise for real, each from its own function so a test
// can check that the reported address lies inside it.
#ifndef ZKTEST_TESTS_DRIVER_SAFETY_FAULT_TRIGGERS_H
#define ZKTEST_TESTS_DRIVER_SAFETY_FAULT_TRIGGERS_H

#include <cstdint>
#include <string>
#include <vector>

namespace safety_tests {

struct PortableFault {
    std::string kind;
    std::string name;   // the line's name for it
    unsigned long code; // the line's code
    void (*trigger)();  // raises it; returns only if it did not happen
    // Where the faulting instruction lies: the entry of the function that
    // holds it (0: no address is reported).
    std::uintptr_t faultingFunction;
    std::string skipReason; // non-empty: this build cannot raise it
};

std::vector<PortableFault> portableFaults();

// Ends the process through an exception that no handler catches.
[[noreturn]] void throwPastEveryHandler();

} // namespace safety_tests

#endif
