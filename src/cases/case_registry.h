// SPDX-License-Identifier: MIT
// The program's cases, in the order the linker ran their registrations
// (within a file, the order of the file). Registration happens during static
// initialisation, on one thread; the runner reads the list after main starts.
#ifndef ZKQE_CASES_CASE_REGISTRY_H
#define ZKQE_CASES_CASE_REGISTRY_H

#include "zktest_cases.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zkqe {

struct RegisteredCase {
    // A case of a family runs through `variant`, with its context and index.
    zktest::CaseFunction run;
    zktest::CaseVariantFunction variant;
    const void* context;
    std::size_t index;
    const char* file;
    int line;
    std::string name;              // "suite.name" in a suite
    std::string suite;             // empty outside every suite
    std::vector<std::string> tags; // without their brackets
};

std::vector<RegisteredCase>& registeredCases();
// Runs the late registrations (see zktest::registerLateCases), once.
void finishRegistrations();

inline void runRegisteredCase(const RegisteredCase& registered, ZKQETest& runner) {
    if (registered.variant != nullptr)
        registered.variant(runner, registered.context, registered.index);
    else
        registered.run(runner);
}

struct RegisteredHook {
    zktest::HookFunction run;
    bool before;
    std::string suite; // empty: the program's
    const char* file;
    int line;
};

std::vector<RegisteredHook>& registeredHooks();

} // namespace zkqe

#endif
