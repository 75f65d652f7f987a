// SPDX-License-Identifier: MIT
// The hooks' plan (see hook_plan.h).
#include "cases/hook_plan.h"

#include <algorithm>

namespace zkqe {

bool suiteWithin(const std::string& suite, const std::string& scope) {
    if (scope.empty() || suite == scope)
        return true;
    return suite.size() > scope.size() && suite.compare(0, scope.size(), scope) == 0 &&
           suite[scope.size()] == '.';
}

HookPlan::HookPlan(const std::vector<const RegisteredCase*>& cases,
                   const std::vector<RegisteredHook>& hooks) {
    for (const RegisteredHook& hook : hooks) {
        auto scope = std::find_if(scopes_.begin(), scopes_.end(),
                                  [&hook](const Scope& s) { return s.suite == hook.suite; });
        if (scope == scopes_.end()) {
            scopes_.push_back({hook.suite, cases.size(), 0, {}, {}});
            scope = scopes_.end() - 1;
        }
        if (hook.before)
            scope->before.push_back(&hook);
        else
            scope->after.insert(scope->after.begin(), &hook);
    }
    for (Scope& scope : scopes_)
        for (std::size_t i = 0; i < cases.size(); ++i)
            if (suiteWithin(cases[i]->suite, scope.suite)) {
                scope.first = std::min(scope.first, i);
                scope.last = i;
            }
    // An outer scope's name is a prefix of its inner ones': shorter first.
    std::stable_sort(scopes_.begin(), scopes_.end(), [](const Scope& a, const Scope& b) {
        return a.suite.size() < b.suite.size();
    });
}

std::vector<HookPlan::Scope*> HookPlan::opening(std::size_t index) {
    std::vector<Scope*> found;
    for (Scope& scope : scopes_)
        if (scope.first == index)
            found.push_back(&scope);
    return found;
}

std::vector<HookPlan::Scope*> HookPlan::closing(std::size_t index) {
    std::vector<Scope*> found;
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope)
        if (scope->first <= index && scope->last == index)
            found.push_back(&*scope);
    return found;
}

const HookPlan::Scope* HookPlan::failedScopeOf(std::size_t index, const std::string& suite) const {
    const Scope* found = nullptr;
    for (const Scope& scope : scopes_)
        if (scope.failed && scope.first <= index && index <= scope.last &&
            suiteWithin(suite, scope.suite))
            found = &scope;
    return found;
}

} // namespace zkqe
