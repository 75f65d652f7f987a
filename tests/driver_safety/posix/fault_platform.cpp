// POSIX side of the crash-guard tests: a fault ends the child by its own
// signal; extra faults are a trapping floating-point division and a SIGBUS
// sent by the process to itself.
#include "../fault_platform.h"

#include <fenv.h>
#include <signal.h>

namespace safety_tests {

namespace {

int signalFor(unsigned long code) {
    switch (code) {
    case 0xC0000005ul:
    case 0xC00000FDul:
        return SIGSEGV;
    case 0xC0000006ul:
    case 0x80000002ul:
        return SIGBUS;
    case 0xC000001Dul:
    case 0xC0000096ul:
        return SIGILL;
    case 0x80000003ul:
    case 0x80000004ul:
        return SIGTRAP;
    default:
        return SIGFPE;
    }
}

volatile double floatNumerator = 1.0;
volatile double floatDenominator = 0.0;
volatile double floatQuotient = 0.0;

} // namespace

std::string stackOverflowSkipReason() {
    return "";
}

bool endedByFault(const zktest_support::ProcessResult& result, unsigned long code) {
    return result.signaled && result.signal == signalFor(code);
}

std::vector<PlatformFault> platformFaults() {
    return {
        {"float-divide", "Floating Point Divide By Zero", 0xC000008Eul,
         underEmulator() ? "the emulator does not trap on unmasked floating-point exceptions" : ""},
        {"bus-signal", "Page Error", 0xC0000006ul, ""},
    };
}

void raisePlatformFault(const std::string& kind) {
    if (kind == "float-divide") {
        feenableexcept(FE_DIVBYZERO);
        floatQuotient = floatNumerator / floatDenominator;
        floatQuotient = floatQuotient + 1.0; // x87 reports at the next instruction
    } else if (kind == "bus-signal") {
        raise(SIGBUS);
    }
}

} // namespace safety_tests
