// SPDX-License-Identifier: MIT
// When the before-all and after-all hooks run in a list of cases: a scope
// (a suite, or the program) opens at the first case of it in the list and
// closes after the last, outer scopes opening first and closing last.
#ifndef ZKQE_CASES_HOOK_PLAN_H
#define ZKQE_CASES_HOOK_PLAN_H

#include "cases/case_registry.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zkqe {

class HookPlan {
public:
    struct Scope {
        std::string suite; // empty: the program
        std::size_t first;
        std::size_t last;
        std::vector<const RegisteredHook*> before; // in registration order
        std::vector<const RegisteredHook*> after;  // in reverse, as a stack unwinds
        bool failed = false;
    };

    HookPlan(const std::vector<const RegisteredCase*>& cases,
             const std::vector<RegisteredHook>& hooks);

    // The scopes opening at case `index`, outermost first.
    std::vector<Scope*> opening(std::size_t index);
    // The scopes closing after case `index`, innermost first.
    std::vector<Scope*> closing(std::size_t index);
    // The innermost failed scope that holds case `index` of `suite`, or null.
    const Scope* failedScopeOf(std::size_t index, const std::string& suite) const;

private:
    std::vector<Scope> scopes_; // outer before inner
};

// Whether a case of `suite` is inside `scope` (itself or a suite within it).
bool suiteWithin(const std::string& suite, const std::string& scope);

} // namespace zkqe

#endif
