// SPDX-License-Identifier: MIT
// The runner's JUnit XML (for XML_OUTPUT_FILE, which Bazel and CI servers
// read): one test case per case run, with its time and its failures' text.
#ifndef ZKQE_CASES_JUNIT_OUTPUT_H
#define ZKQE_CASES_JUNIT_OUTPUT_H

#include "cases/case_results.h"

#include <string>
#include <vector>

namespace zkqe {

// `text` for an XML attribute or element: markup characters as entities, and
// control characters, which XML 1.0 cannot hold at all, as '?' (keeping tab
// and line feed). Inline, for zkreport, which reads this header alone.
inline std::string xmlEscape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' ? '?' : c;
        }
    }
    return out;
}

// Writes the file whole; false when it could not be.
bool writeJunit(const std::string& path, const std::string& suite,
                const std::vector<CaseResult>& cases);

} // namespace zkqe

#endif
