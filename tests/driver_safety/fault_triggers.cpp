// The portable fault triggers. The sanitizers are kept out of these
// functions: their own checks would report the fault before it happens.
#include "fault_triggers.h"

#include "fault_platform.h"

#include <cstdlib>

#if defined(__clang__) || defined(__GNUC__)
#define SAFETY_NO_SANITIZE                                                                         \
    __attribute__((noinline, no_sanitize("address"), no_sanitize("undefined")))
#else
#define SAFETY_NO_SANITIZE
#endif

namespace safety_tests {

namespace {

// A low address that is never mapped, not null, so no null check intervenes.
int* volatile invalidPointer = reinterpret_cast<int*>(std::uintptr_t{64});
volatile int dividend = 7;
volatile int divisor = 0;
volatile int quotient = 0;

SAFETY_NO_SANITIZE void writeThroughInvalidPointer() {
    *invalidPointer = 1;
}

SAFETY_NO_SANITIZE void divideByZero() {
    quotient = dividend / divisor;
}

SAFETY_NO_SANITIZE void executeIllegalInstruction() {
    __builtin_trap();
}

SAFETY_NO_SANITIZE void hitBreakpoint() {
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("int3");
#endif
}

SAFETY_NO_SANITIZE int recurse(int depth);
// Called through a volatile pointer, so the recursion can be neither turned
// into a loop nor dropped by the optimiser.
int (*volatile recurseAgain)(int) = recurse;

SAFETY_NO_SANITIZE int recurse(int depth) {
    volatile char frame[512];
    frame[depth % sizeof frame] = static_cast<char>(depth);
    return recurseAgain(depth + 1) + frame[0];
}

SAFETY_NO_SANITIZE void overflowStack() {
    recurseAgain(0);
}

template <typename Function> std::uintptr_t addressOf(Function function) {
    return reinterpret_cast<std::uintptr_t>(function);
}

} // namespace

void throwPastEveryHandler() {
    throw 42;
}

std::vector<PortableFault> portableFaults() {
#if defined(__i386__) || defined(__x86_64__)
    const char* noBreakpoint = "";
#else
    const char* noBreakpoint = "no breakpoint instruction is known for this processor";
#endif
    return {
        {"access-violation", "Access Violation", 0xC0000005ul, writeThroughInvalidPointer,
         addressOf(writeThroughInvalidPointer), ""},
        {"integer-divide", "Integer Divide By Zero", 0xC0000094ul, divideByZero,
         addressOf(divideByZero), ""},
        {"illegal-instruction", "Illegal Instruction", 0xC000001Dul, executeIllegalInstruction,
         addressOf(executeIllegalInstruction), ""},
        {"stack-overflow", "Stack Overflow", 0xC00000FDul, overflowStack, addressOf(recurse),
         stackOverflowSkipReason()},
        {"breakpoint", "User Breakpoint", 0x80000003ul, hitBreakpoint, addressOf(hitBreakpoint),
         noBreakpoint},
    };
}

bool underEmulator() {
    const char* emulator = std::getenv("ZKTEST_EMULATOR");
    return emulator != nullptr && emulator[0] != '\0';
}

} // namespace safety_tests
