// SPDX-License-Identifier: MIT
// JUnit XML, as the runner (--junit, XML_OUTPUT_FILE) and zkreport --junit
// write it: one text from one writer, which zkreport compiles in (it does
// not link the library). The elements and attributes are those CI servers'
// strictest schema allows: no attribute beyond name, tests, failures,
// errors and time on <testsuites>, none beyond name, classname and time on
// <testcase>, so a file and line travel in the failure's message and text.
#ifndef ZKQE_CASES_JUNIT_OUTPUT_H
#define ZKQE_CASES_JUNIT_OUTPUT_H

#include "cases/case_results.h"

#include <ctime>
#include <string>
#include <vector>

namespace zkqe {

// The entity that stands for a markup character; null for any other.
// Inline, for zkreport, which reads this header alone; a signal handler may
// call it.
inline const char* xmlEntity(char c) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    case '\'':
        return "&apos;";
    default:
        return nullptr;
    }
}

// A control character, which XML 1.0 cannot hold at all, as '?' (keeping
// tab and line feed).
inline char xmlCharacter(char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' ? '?' : c;
}

// `text` for an XML attribute or element.
inline std::string xmlEscape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (const char* entity = xmlEntity(c))
            out += entity;
        else
            out += xmlCharacter(c);
    }
    return out;
}

// One <testsuite>: the cases of one suite of one run.
struct JunitSuite {
    std::string name;
    // Before the suite's name in each case's classname, "program.suite":
    // CI servers take the part before the last dot for a package and group
    // by it, so a program's suites stay together. Empty: the name alone.
    std::string program;
    std::string hostname;
    std::time_t started = 0;
    std::vector<CaseResult> cases;
};

// The suite a case belongs to: its own, else its file's base name (no
// folder, no extension), the one grouping a case outside suites has.
std::string caseSuite(const CaseResult& result);

// The whole file. A case's checks become one <failure> each (crash and
// timeout an <error>), a skipped case a <skipped>, its report lines its
// <system-out>; the counts count cases.
std::string junitText(const std::vector<JunitSuite>& suites);

} // namespace zkqe

#endif
