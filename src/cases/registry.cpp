// SPDX-License-Identifier: MIT
// The case registry, and the skip of ZKQE_SKIP. A function-local list, so a registration from any
// file's static initialiser finds it built whatever the order of files.
#include "cases/case_registry.h"
#include "cases/case_results.h"
#include "cases/console.h"

#include "zkqe_test.h"

#include <cstring>
#include <deque>
#include <string>

namespace zkqe {

std::vector<RegisteredCase>& registeredCases() {
    static std::vector<RegisteredCase> cases;
    return cases;
}

namespace {
std::vector<void (*)()>& lateRegistrations() {
    static std::vector<void (*)()> registrations;
    return registrations;
}
} // namespace

void finishRegistrations() {
    std::vector<void (*)()> pending;
    pending.swap(lateRegistrations());
    for (void (*registerCases)() : pending)
        registerCases();
}

std::vector<RegisteredHook>& registeredHooks() {
    static std::vector<RegisteredHook> hooks;
    return hooks;
}

namespace {

// Texts the cases' registrations hand out for the program's life; a deque,
// so that a text never moves.
const char* keptText(std::string text) {
    static std::deque<std::string> kept;
    kept.push_back(std::move(text));
    return kept.back().c_str();
}

// Every character named: no range end to get wrong, and no locale as isalnum has.
bool identifierCharacter(char c) {
    return c != '\0' &&
           std::strchr("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_", c) !=
               nullptr;
}

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

// One case, named "suite.name" + variant in a suite.
void addCase(RegisteredCase registered, const char* suite, const char* name, const char* variant,
             const char* tags) {
    registered.suite = suite != nullptr ? suite : "";
    registered.name = registered.suite.empty() ? "" : registered.suite + ".";
    registered.name += name != nullptr ? name : "";
    registered.name += variant;
    registered.tags = parseTags(tags);
    registeredCases().push_back(std::move(registered));
}

} // namespace
} // namespace zkqe

bool zktest::registerCase(CaseFunction run, const char* file, int line, const char* name,
                          const char* tags) {
    return registerSuiteCase(run, file, line, nullptr, name, tags);
}

bool zktest::registerSuiteCase(CaseFunction run, const char* file, int line, const char* suite,
                               const char* name, const char* tags) {
    zkqe::addCase({run, nullptr, nullptr, 0, file, line, {}, {}, {}}, suite, name, "", tags);
    return true;
}

bool zktest::registerCaseVariant(CaseVariantFunction run, const void* context, std::size_t index,
                                 const char* file, int line, const char* suite, const char* name,
                                 const char* variant, const char* tags) {
    zkqe::addCase({nullptr, run, context, index, file, line, {}, {}, {}}, suite, name, variant,
                  tags);
    return true;
}

std::string zktest::typeListEntry_(const char* list, std::size_t index) {
    // Commas inside <>, () or [] belong to an entry; the list's own
    // parentheses are depth 1.
    std::string entry;
    int depth = 0;
    for (const char* p = list; *p != '\0'; ++p) {
        const char c = *p;
        if (c == '<' || c == '(' || c == '[')
            ++depth;
        else if (c == '>' || c == ')' || c == ']')
            --depth;
        if ((c == ',' && depth == 1) || depth == 0) {
            if (index-- == 0)
                break;
            entry.clear();
        } else if (depth > 1 || c != '(') {
            entry += c;
        }
    }
    const std::size_t first = entry.find_first_not_of(' ');
    const std::size_t last = entry.find_last_not_of(' ');
    return first == std::string::npos ? "" : entry.substr(first, last - first + 1);
}

const char* zktest::declaredName_(const char* declaration) {
    const char* end = declaration + std::strlen(declaration);
    while (end > declaration && !zkqe::identifierCharacter(end[-1]))
        --end;
    const char* start = end;
    while (start > declaration && zkqe::identifierCharacter(start[-1]))
        --start;
    return zkqe::keptText(std::string(start, end));
}

const char* zktest::suitePath_(const char* outer, const char* name) {
    return zkqe::keptText(outer != nullptr ? std::string(outer) + "." + name : std::string(name));
}

bool zktest::registerTypeVariant_(CaseVariantFunction run, std::size_t index, const char* list,
                                  const char* file, int line, const char* suite, const char* name,
                                  const char* tags) {
    const std::string variant = "<" + typeListEntry_(list, index) + ">";
    return registerCaseVariant(run, nullptr, index, file, line, suite, name, variant.c_str(), tags);
}

bool zktest::registerValueVariant_(CaseVariantFunction run, const void* context, std::size_t index,
                                   const char* file, int line, const char* suite, const char* name,
                                   const char* tags) {
    const std::string variant = "/" + std::to_string(index);
    return registerCaseVariant(run, context, index, file, line, suite, name, variant.c_str(), tags);
}

bool zktest::registerLateCases(void (*registerCases)()) {
    zkqe::lateRegistrations().push_back(registerCases);
    return true;
}

bool zktest::registerHook(HookFunction run, bool before, const char* suite, const char* file,
                          int line) {
    zkqe::registeredHooks().push_back({run, before, suite != nullptr ? suite : "", file, line});
    return true;
}

void zktest::skipCase(const char* file, int line, const char* why) {
    zkqe::consoleSkip(file, line, why);
    zkqe::recordSkip(file, line, why);
    throw SkipCase();
}
