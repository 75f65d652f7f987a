// SPDX-License-Identifier: MIT
// Fuzzer of the case runner's --filter language: the wildcard matcher and
// the escaping that discovery uses to select one case by its name.
//
// Checked on every input, besides what the sanitizers see:
//  - wildcardMatch agrees with an independent matcher (a table over the
//    pattern's tokens and the text's characters);
//  - the escaped form of a name, as a filter, selects that name and no
//    other, and with ~ in front excludes exactly that name.
#include "cases/case_filter.h"

#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Token {
    enum Kind { star, any, literal } kind;
    char c;
};

// `\` takes the next character literally; a `\` that ends the pattern is a
// literal backslash.
std::vector<Token> tokens(const std::string& pattern) {
    std::vector<Token> out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\' && i + 1 < pattern.size())
            out.push_back({Token::literal, pattern[++i]});
        else if (c == '*')
            out.push_back({Token::star, 0});
        else if (c == '?')
            out.push_back({Token::any, 0});
        else
            out.push_back({Token::literal, c});
    }
    return out;
}

bool modelMatch(const std::string& pattern, const std::string& text) {
    const std::vector<Token> p = tokens(pattern);
    // matches[i][j]: the first i tokens match the first j characters.
    std::vector<std::vector<bool>> matches(p.size() + 1, std::vector<bool>(text.size() + 1));
    matches[0][0] = true;
    for (std::size_t i = 1; i <= p.size(); ++i)
        for (std::size_t j = 0; j <= text.size(); ++j) {
            const Token& t = p[i - 1];
            if (t.kind == Token::star)
                matches[i][j] = matches[i - 1][j] || (j > 0 && matches[i][j - 1]);
            else if (j > 0)
                matches[i][j] =
                    matches[i - 1][j - 1] && (t.kind == Token::any || t.c == text[j - 1]);
        }
    return matches[p.size()][text.size()];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t count) {
    FuzzedDataProvider data(bytes, count);
    const std::string pattern = data.ConsumeRandomLengthString(24);
    const std::string name = data.ConsumeRandomLengthString(24);
    const std::string other = data.ConsumeRemainingBytesAsString();
    if (pattern.find('\0') != std::string::npos || name.find('\0') != std::string::npos ||
        other.find('\0') != std::string::npos)
        return 0; // C strings end there

    FUZZ_CHECK(zkqe::wildcardMatch(pattern.c_str(), name.c_str()) == modelMatch(pattern, name));

    if (name.empty())
        return 0; // an empty term selects nothing by itself
    const std::string escaped = zkqe::escapeForFilter(name);
    const std::vector<std::string> noTags;
    const zkqe::CaseFilter only(escaped);
    FUZZ_CHECK(only.selects(name, noTags));
    FUZZ_CHECK(only.selects(other, noTags) == (other == name));
    const zkqe::CaseFilter allBut("~" + escaped);
    FUZZ_CHECK(!allBut.selects(name, noTags));
    FUZZ_CHECK(allBut.selects(other, noTags) == (other != name));
    return 0;
}
