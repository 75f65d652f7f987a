// SPDX-License-Identifier: MIT
// The --filter language of the case runner (see case_filter.h).
#include "cases/case_filter.h"

namespace zkqe {

bool wildcardMatch(const char* pattern, const char* text) {
    // Backtracking to the last star only: linear in practice and never
    // exponential, since a later star supersedes an earlier one.
    const char* starPattern = nullptr;
    const char* starText = nullptr;
    while (*text != '\0') {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starText = text;
            continue;
        }
        const bool escaped = *pattern == '\\' && pattern[1] != '\0';
        const char want = escaped ? pattern[1] : *pattern;
        if (want != '\0' && (want == *text || (!escaped && want == '?'))) {
            pattern += escaped ? 2 : 1;
            ++text;
        } else if (starPattern != nullptr) {
            pattern = starPattern;
            text = ++starText;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

std::string escapeForFilter(const std::string& name) {
    std::string escaped;
    for (const char c : name) {
        if (c == '\\' || c == '*' || c == '?' || c == ',' || c == '[' ||
            (escaped.empty() && (c == '~' || c == '-')))
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

CaseFilter::CaseFilter(const std::string& filterText) {
    std::size_t i = 0;
    while (i <= filterText.size()) {
        Term term{"", false, false};
        if (i < filterText.size() && (filterText[i] == '~' || filterText[i] == '-')) {
            term.exclude = true;
            ++i;
        }
        for (; i < filterText.size() && filterText[i] != ','; ++i) {
            term.pattern += filterText[i];
            if (filterText[i] == '\\' && i + 1 < filterText.size())
                term.pattern += filterText[++i];
        }
        ++i; // the comma
        const std::string& p = term.pattern;
        if (p.size() >= 2 && p.front() == '[' && p.back() == ']' && p[p.size() - 2] != '\\') {
            term.tag = true;
            term.pattern = p.substr(1, p.size() - 2);
        }
        if (term.pattern.empty() && !term.tag)
            continue; // "a,,b" and a trailing comma add nothing
        hasIncluding_ = hasIncluding_ || !term.exclude;
        terms_.push_back(term);
    }
}

bool CaseFilter::selects(const std::string& name, const std::vector<std::string>& tags) const {
    bool included = !hasIncluding_ && !hidden(tags);
    for (const Term& term : terms_) {
        bool matches = false;
        if (term.tag) {
            for (const std::string& tag : tags)
                matches = matches || wildcardMatch(term.pattern.c_str(), tag.c_str());
        } else {
            matches = wildcardMatch(term.pattern.c_str(), name.c_str());
        }
        if (matches && term.exclude)
            return false;
        included = included || matches;
    }
    return included;
}

bool CaseFilter::hidden(const std::vector<std::string>& tags) {
    for (const std::string& tag : tags)
        if (tag == ".")
            return true;
    return false;
}

} // namespace zkqe
