// How the POSIX fault hook names each signal and si_code, and how it tells a
// stack overflow from another bad access.
#include "platform/posix/fault_codes.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace {

using zkqe::platform::faultCodeFor;
using zkqe::platform::isStackOverflowAddress;

TEST(PosixFaultCodes, SignalAndSiCodeGiveTheExceptionCode) {
    const struct {
        int signal;
        int siCode;
        bool stackOverflow;
        unsigned long code;
    } cases[] = {
        {SIGSEGV, SEGV_MAPERR, false, 0xC0000005ul},
        {SIGSEGV, SEGV_ACCERR, false, 0xC0000005ul},
        {SIGSEGV, SI_USER, false, 0xC0000005ul},
        {SIGSEGV, SEGV_MAPERR, true, 0xC00000FDul},
        {SIGFPE, FPE_INTDIV, false, 0xC0000094ul},
        {SIGFPE, FPE_INTOVF, false, 0xC0000095ul},
        {SIGFPE, FPE_FLTDIV, false, 0xC000008Eul},
        {SIGFPE, FPE_FLTOVF, false, 0xC0000091ul},
        {SIGFPE, FPE_FLTUND, false, 0xC0000093ul},
        {SIGFPE, FPE_FLTRES, false, 0xC000008Ful},
        {SIGFPE, FPE_FLTINV, false, 0xC0000090ul},
        {SIGFPE, FPE_FLTSUB, false, 0xC000008Cul},
        {SIGFPE, SI_USER, false, 0ul},
        {SIGFPE, SI_TKILL, true, 0ul},
        {SIGILL, ILL_ILLOPC, false, 0xC000001Dul},
        {SIGILL, ILL_ILLOPN, false, 0xC000001Dul},
        {SIGILL, ILL_PRVOPC, false, 0xC0000096ul},
        {SIGILL, ILL_PRVREG, false, 0xC0000096ul},
        {SIGTRAP, TRAP_BRKPT, false, 0x80000003ul},
        {SIGTRAP, SI_KERNEL, false, 0x80000003ul},
        {SIGTRAP, TRAP_TRACE, false, 0x80000004ul},
        {SIGBUS, BUS_ADRALN, false, 0x80000002ul},
        {SIGBUS, BUS_ADRERR, false, 0xC0000006ul},
        {SIGBUS, BUS_OBJERR, false, 0xC0000006ul},
        {SIGBUS, SI_TKILL, false, 0xC0000006ul},
        {SIGABRT, SI_TKILL, false, 0ul},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.code, faultCodeFor(c.signal, c.siCode, c.stackOverflow))
            << "signal " << c.signal << " si_code " << c.siCode;
}

TEST(PosixFaultCodes, StackOverflowIsAFaultNearTheStackPointerOrTheLimit) {
    // Addresses that exist in 32-bit and 64-bit processes alike.
    const std::uintptr_t sp = 0xBF100000u;
    const std::uintptr_t low = 0xBF000000u;
    // Close to the stack pointer, on either side.
    EXPECT_TRUE(isStackOverflowAddress(sp - 8, sp, 0));
    EXPECT_TRUE(isStackOverflowAddress(sp - 64 * 1024, sp, 0));
    EXPECT_TRUE(isStackOverflowAddress(sp + 100, sp, 0));
    EXPECT_FALSE(isStackOverflowAddress(sp - 64 * 1024 - 1, sp, 0));
    // Just below the stack's limit, within the gap kept below a growing stack.
    EXPECT_TRUE(isStackOverflowAddress(low - 1, 0, low));
    EXPECT_TRUE(isStackOverflowAddress(low - 1024 * 1024, 0, low));
    EXPECT_TRUE(isStackOverflowAddress(low + 100, 0, low));
    EXPECT_FALSE(isStackOverflowAddress(low - 2 * 1024 * 1024, 0, low));
    // Null and low addresses are plain access violations.
    EXPECT_FALSE(isStackOverflowAddress(0, sp, low));
    EXPECT_FALSE(isStackOverflowAddress(64, sp, low));
    EXPECT_FALSE(isStackOverflowAddress(64, 0, 0));
}

} // namespace
