// SPDX-License-Identifier: MIT
// The runner's side of the death checks: each case numbers its death checks
// from one, and a program started as the child of one (Windows) runs that
// case alone up to that check.
#ifndef ZKQE_CASES_DEATH_CHECKS_H
#define ZKQE_CASES_DEATH_CHECKS_H

#include <string>

namespace zkqe {

struct RegisteredCase;

// The word that makes a program the child of a death check, with
// "<case>:<check>" glued after it.
constexpr const char* kDeathChildFlag = "--zktest-death-child";

// A case starts: its death checks count from one again.
void startDeathChecks(const RegisteredCase& registered);

// Runs as the child `which` ("<case>:<check>") names: the case runs to that
// check, whose statement ends the process. The status returned says the
// check was never reached, or `which` was unreadable.
int runDeathChild(const std::string& program, const std::string& which);

} // namespace zkqe

#endif
