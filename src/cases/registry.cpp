// SPDX-License-Identifier: MIT
// The case registry, and the skip of ZKQE_SKIP. A function-local list, so a registration from any
// file's static initialiser finds it built whatever the order of files.
#include "cases/case_registry.h"
#include "cases/case_results.h"
#include "cases/console.h"

#include "zkqe_test.h"

namespace zkqe {

std::vector<RegisteredCase>& registeredCases() {
    static std::vector<RegisteredCase> cases;
    return cases;
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
    zkqe::registeredCases().push_back(
        {run, file, line, name != nullptr ? name : "", zkqe::parseTags(tags)});
    return true;
}

void zktest::skipCase(const char* file, int line, const char* why) {
    zkqe::consoleSkip(file, line, why);
    zkqe::recordSkip(why);
    throw SkipCase();
}
