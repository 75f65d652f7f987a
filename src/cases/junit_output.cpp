// SPDX-License-Identifier: MIT
// JUnit XML as the common readers take it (see junit_output.h): times in
// seconds with a decimal point whatever the locale.
#include "cases/junit_output.h"

#include <cstdio>

namespace zkqe {

namespace {

std::string seconds(double value) {
    char text[32];
    const long long millis = static_cast<long long>(value * 1000.0 + 0.5);
    std::snprintf(text, sizeof text, "%lld.%03lld", millis / 1000, millis % 1000);
    return text;
}

// xs:dateTime without a zone, in UTC: the agents of one CI server may sit in
// several zones, and their runs should sort by when they ran.
std::string timestamp(std::time_t when) {
    char text[32] = "1970-01-01T00:00:00";
    if (const std::tm* utc = std::gmtime(&when))
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", utc);
    return text;
}

// The `type` of a failure, in FailureKind's order.
const char* kindName(FailureKind kind) {
    static const char* const names[] = {"check", "require", "exception", "crash", "timeout"};
    return names[static_cast<int>(kind)];
}

// A crash or the alarm is no verdict of the case's own checks: an error, as
// JUnit calls what the test could not finish. An exception the case let out
// is its failure, as the console counts it.
bool isError(FailureKind kind) {
    return kind == FailureKind::crash || kind == FailureKind::timeout;
}

std::string place(const CaseFailure& failure) {
    return failure.file.empty() ? "" : failure.file + ":" + std::to_string(failure.line);
}

std::string failureElement(const CaseFailure& failure, const char* earlier = nullptr) {
    const std::string where = place(failure);
    const char* element = earlier ? earlier : isError(failure.kind) ? "error" : "failure";
    std::string text = where.empty() ? "" : where + "\n";
    if (!failure.section.empty())
        text += "section: " + failure.section + "\n";
    text += failure.text + "\n";
    return std::string("      <") + element + " message=\"" +
           xmlEscape(where.empty() ? failure.text : where + ": " + failure.text) + "\" type=\"" +
           kindName(failure.kind) + "\">" + xmlEscape(text) + "</" + element + ">\n";
}

struct Counts {
    std::size_t tests = 0, failures = 0, errors = 0, skipped = 0;
    double seconds = 0;

    void add(const CaseResult& result) {
        ++tests;
        bool failed = false, erred = false;
        for (const CaseFailure& failure : result.failures)
            (isError(failure.kind) ? erred : failed) = true;
        failures += failed ? 1 : 0;
        errors += erred ? 1 : 0;
        skipped += result.skipped || result.hidden ? 1 : 0;
        this->seconds += result.seconds;
    }
    std::string attributes() const {
        return "tests=\"" + std::to_string(tests) + "\" failures=\"" + std::to_string(failures) +
               "\" errors=\"" + std::to_string(errors) + "\"";
    }
};

// Within its suite a case goes by its own name ("Compare" in suite
// "Values"), as GoogleTest's readers expect; outside suites, by its whole one.
std::string nameInSuite(const CaseResult& result) {
    const std::string& suite = result.suite;
    if (!suite.empty() && result.name.size() > suite.size() &&
        result.name.compare(0, suite.size(), suite) == 0 && result.name[suite.size()] == '.')
        return result.name.substr(suite.size() + 1);
    return result.name;
}

std::string testcase(const CaseResult& result, const std::string& classname) {
    std::string xml = "    <testcase name=\"" + xmlEscape(nameInSuite(result)) + "\" classname=\"" +
                      xmlEscape(classname) + "\" time=\"" + seconds(result.seconds) + "\"";
    std::string children;
    if (result.hidden)
        children += "      <skipped message=\"hidden\"/>\n";
    else if (result.skipped)
        children += "      <skipped message=\"" +
                    xmlEscape(result.skipReason.empty() ? "skipped" : result.skipReason) + "\"/>\n";
    for (const CaseFailure& failure : result.failures)
        children += failureElement(failure);
    // The elements test-report readers know for runs before the last.
    for (const CaseFailure& failure : result.earlierFailures)
        children +=
            failureElement(failure, result.failures.empty() ? "flakyFailure" : "rerunFailure");
    if (!result.output.empty())
        children += "      <system-out>" + xmlEscape(result.output) + "</system-out>\n";
    return xml + (children.empty() ? "/>\n" : ">\n" + children + "    </testcase>\n");
}

} // namespace

std::string caseSuite(const CaseResult& result) {
    if (!result.suite.empty())
        return result.suite;
    std::string base = result.file.substr(result.file.find_last_of("/\\") + 1);
    const std::size_t dot = base.rfind('.');
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

std::string junitText(const std::vector<JunitSuite>& suites) {
    Counts all;
    std::string body;
    for (const JunitSuite& suite : suites) {
        Counts counts;
        const std::string classname =
            suite.program.empty() ? suite.name : suite.program + "." + suite.name;
        std::string cases;
        for (const CaseResult& result : suite.cases) {
            counts.add(result);
            all.add(result);
            cases += testcase(result, classname);
        }
        body += "  <testsuite name=\"" + xmlEscape(suite.name) + "\" " + counts.attributes() +
                " skipped=\"" + std::to_string(counts.skipped) + "\" time=\"" +
                seconds(counts.seconds) + "\" timestamp=\"" + timestamp(suite.started) +
                "\" hostname=\"" + xmlEscape(suite.hostname) + "\"" +
                (cases.empty() ? "/>\n" : ">\n" + cases + "  </testsuite>\n");
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites " + all.attributes() +
           " time=\"" + seconds(all.seconds) + "\">\n" + body + "</testsuites>\n";
}

} // namespace zkqe
