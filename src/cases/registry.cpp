// SPDX-License-Identifier: MIT
// The case registry, and the skip of ZKQE_SKIP. A function-local list, so a registration from any
// file's static initialiser finds it built whatever the order of files.
#include "cases/case_registry.h"
#include "cases/console.h"

#include "zkqe_test.h"

namespace zkqe {

std::vector<RegisteredCase>& registeredCases() {
    static std::vector<RegisteredCase> cases;
    return cases;
}

std::vector<RegisteredHook>& registeredHooks() {
    static std::vector<RegisteredHook> hooks;
    return hooks;
}

namespace {

// "[io][slow]" holds the tags io and slow; text outside brackets is ignored,
// as is an unclosed last bracket.
std::vector<std::string> parseTags(const char* list) {
    std::vector<std::string> tags;
    for (const char* p = list; p != nullptr && *p != '\0'; ++p) {
        if (*p != '[')
            continue;
        const char* end = p + 1;
        while (*end != '\0' && *end != ']')
            ++end;
        if (*end == '\0')
            break;
        if (end > p + 1)
            tags.emplace_back(p + 1, end);
        p = end;
    }
    return tags;
}

} // namespace
} // namespace zkqe

bool zktest::registerCase(CaseFunction run, const char* file, int line, const char* name,
                          const char* tags) {
    return registerSuiteCase(run, file, line, nullptr, name, tags);
}

bool zktest::registerSuiteCase(CaseFunction run, const char* file, int line, const char* suite,
                               const char* name, const char* tags) {
    std::string fullName = suite != nullptr && *suite != '\0' ? std::string(suite) + "." : "";
    fullName += name != nullptr ? name : "";
    zkqe::registeredCases().push_back({run, file, line, std::move(fullName),
                                       suite != nullptr ? suite : "", zkqe::parseTags(tags)});
    return true;
}

bool zktest::registerHook(HookFunction run, bool before, const char* suite, const char* file,
                          int line) {
    zkqe::registeredHooks().push_back({run, before, suite != nullptr ? suite : "", file, line});
    return true;
}

void zktest::skipCase(const char* file, int line, const char* why) {
    zkqe::consoleSkip(file, line, why);
    throw SkipCase();
}
