// SPDX-License-Identifier: MIT
// The property check shared by the fuzzers: a violated property prints its
// text and traps, so libFuzzer keeps the input as a crash whatever the
// sanitizers saw. A fuzzer that changes process state around its subject
// (its working directory, say) sets beforeTrap to put it back first.
#ifndef ZKTEST_FUZZ_CHECK_H
#define ZKTEST_FUZZ_CHECK_H

#include <cstdio>

namespace fuzz_check {

inline void (*beforeTrap)() = nullptr;

[[noreturn]] inline void violated(const char* property) {
    if (beforeTrap != nullptr)
        beforeTrap();
    std::fprintf(stderr, "property violated: %s\n", property);
    __builtin_trap();
}

} // namespace fuzz_check

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : ::fuzz_check::violated(#condition))

#endif
