// SPDX-License-Identifier: MIT
// How the POSIX fault hook names a fatal signal: the Windows exception code
// for a signal and its si_code, and the test that tells a stack overflow from
// any other bad access. Pure and async-signal-safe; separate from the hook so
// the mapping can be checked without raising each fault.
#ifndef ZKQE_PLATFORM_POSIX_FAULT_CODES_H
#define ZKQE_PLATFORM_POSIX_FAULT_CODES_H

#include <cstdint>

namespace zkqe {
namespace platform {

// The exception code for `signal` delivered with `siCode`; 0 (named
// "Unknown") for a combination the table has no row for. `stackOverflow`
// matters for SIGSEGV only.
unsigned long faultCodeFor(int signal, int siCode, bool stackOverflow);

// Whether a fault at `address`, taken while the stack pointer was `sp`, is a
// stack overflow of the stack whose lowest usable address is `stackLow`
// (0 when unknown): the address lies just below that limit, or close to the
// stack pointer where only an exhausted stack can fault.
bool isStackOverflowAddress(std::uintptr_t address, std::uintptr_t sp, std::uintptr_t stackLow);

} // namespace platform
} // namespace zkqe

#endif
