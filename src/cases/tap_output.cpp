// SPDX-License-Identifier: MIT
// The runner's TAP (see tap_output.h). Each line is flushed as written: a
// reader on a pipe follows the run, and what a crash leaves is whole lines.
#include "cases/tap_output.h"

namespace zkqe {

namespace {

// A description or directive is one line, and '#' starts a directive.
std::string tapText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '#' || c == '\\')
            out += '\\';
        out += c == '\n' || c == '\r' ? ' ' : c;
    }
    return out;
}

// A YAML double-quoted scalar: any text, control characters included.
std::string yamlQuoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* kindText(FailureKind kind) {
    switch (kind) {
    case FailureKind::require:
        return "a fatal check failed and stopped the run";
    case FailureKind::exception:
        return "an exception ended the run";
    case FailureKind::crash:
        return "the process crashed";
    case FailureKind::timeout:
        return "the alarm ended the run";
    case FailureKind::check:
        break;
    }
    return "a check failed";
}

std::string yamlAt(const CaseFailure& failure, const char* indent) {
    return std::string(indent) + "at:\n" + indent + "  file: " + yamlQuoted(failure.file) + "\n" +
           indent + "  line: " + std::to_string(failure.line) + "\n";
}

} // namespace

void writeTapVersion(std::FILE* file) {
    std::fputs("TAP version 14\n", file);
}

void writeTapPlan(std::FILE* file, std::size_t points) {
    std::fprintf(file, "1..%zu\n", points);
    std::fflush(file);
}

void writeTapPoint(std::FILE* file, std::size_t number, const CaseResult& result) {
    const bool failed = !result.failures.empty();
    std::string text = std::string(failed ? "not ok " : "ok ") + std::to_string(number) + " - " +
                       tapText(result.name);
    if (!failed && result.skipped)
        text += " # SKIP " + tapText(result.skipReason);
    text += "\n";
    if (failed) {
        // The first failure leads, as readers show one message and place;
        // every failure follows with its own.
        const CaseFailure& first = result.failures.front();
        text += "  ---\n  message: " + yamlQuoted(kindText(first.kind)) + "\n  severity: fail\n" +
                yamlAt(first, "  ") + "  failures:\n";
        for (const CaseFailure& failure : result.failures) {
            text += "    - message: " + yamlQuoted(kindText(failure.kind)) + "\n" +
                    yamlAt(failure, "      ");
            if (!failure.section.empty())
                text += "      section: " + yamlQuoted(failure.section) + "\n";
            text += "      values: " + yamlQuoted(failure.text) + "\n";
        }
        text += "  ...\n";
    }
    if (result.flaky())
        text += "# flaky: passed at run " + std::to_string(result.runs) + "\n";
    std::fputs(text.c_str(), file);
    std::fflush(file);
}

void writeTapBailOut(std::FILE* file, const std::string& why) {
    std::fprintf(file, "Bail out! %s\n", tapText(why).c_str());
    std::fflush(file);
}

} // namespace zkqe
