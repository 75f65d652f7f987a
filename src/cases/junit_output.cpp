// SPDX-License-Identifier: MIT
// JUnit XML as the common readers take it: <testsuites> around one
// <testsuite> named after the program, times in seconds with a decimal point
// whatever the locale.
#include "cases/junit_output.h"

#include "zkqe_output.h"

#include <cstdio>

namespace zkqe {

namespace {

std::string seconds(double value) {
    char text[32];
    const long long millis = static_cast<long long>(value * 1000.0 + 0.5);
    std::snprintf(text, sizeof text, "%lld.%03lld", millis / 1000, millis % 1000);
    return text;
}

std::string failureLine(const CaseFailure& failure) {
    return failure.file + ":" + std::to_string(failure.line) + ": " + failure.text;
}

} // namespace

bool writeJunit(const std::string& path, const std::string& suite,
                const std::vector<CaseResult>& cases) {
    std::size_t failed = 0, skipped = 0;
    double total = 0;
    for (const CaseResult& result : cases) {
        failed += result.failures.empty() ? 0 : 1;
        skipped += result.skipped ? 1 : 0;
        total += result.seconds;
    }
    const std::string counts = "tests=\"" + std::to_string(cases.size()) + "\" failures=\"" +
                               std::to_string(failed) + "\" errors=\"0\" skipped=\"" +
                               std::to_string(skipped) + "\" time=\"" + seconds(total) + "\"";
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites " + counts +
                      ">\n  <testsuite name=\"" + xmlEscape(suite) + "\" " + counts + ">\n";
    for (const CaseResult& result : cases) {
        xml += "    <testcase name=\"" + xmlEscape(result.name) + "\" classname=\"" +
               xmlEscape(suite) + "\" time=\"" + seconds(result.seconds) + "\"";
        if (result.skipped) {
            xml += ">\n      <skipped/>\n    </testcase>\n";
            continue;
        }
        if (result.failures.empty()) {
            xml += "/>\n";
            continue;
        }
        std::string text;
        for (const CaseFailure& failure : result.failures)
            text += failureLine(failure) + "\n";
        xml += ">\n      <failure message=\"" + xmlEscape(failureLine(result.failures.front())) +
               "\">" + xmlEscape(text) + "</failure>\n    </testcase>\n";
    }
    xml += "  </testsuite>\n</testsuites>\n";

    FILE* file = qe_fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(xml.data(), 1, xml.size(), file) == xml.size();
    return std::fclose(file) == 0 && written;
}

} // namespace zkqe
