// SPDX-License-Identifier: MIT
// The --filter language: terms separated by commas; a term is a name pattern
// or a tag pattern in brackets, "[io]"; `*` matches any run of characters and
// `?` one; a term starting with `~` or `-` excludes what it matches; a
// backslash makes the next character literal. A case runs when it matches
// some including term (or there is none) and no excluding term. A case
// tagged [.] is hidden: only an including term that matches it selects it.
#ifndef ZKQE_CASES_CASE_FILTER_H
#define ZKQE_CASES_CASE_FILTER_H

#include <string>
#include <vector>

namespace zkqe {

class CaseFilter {
public:
    // The empty filter selects every case.
    explicit CaseFilter(const std::string& filterText = "");
    bool selects(const std::string& name, const std::vector<std::string>& tags) const;
    static bool hidden(const std::vector<std::string>& tags);

private:
    struct Term {
        std::string pattern; // escapes kept, resolved while matching
        bool tag;
        bool exclude;
    };
    std::vector<Term> terms_;
    bool hasIncluding_ = false;
};

// Whether `text` matches `pattern` as a whole (`*`, `?`, `\` escapes).
bool wildcardMatch(const char* pattern, const char* text);
// `name` as a pattern that matches only itself.
std::string escapeForFilter(const std::string& name);

} // namespace zkqe

#endif
