// The stress checker (see report_checker.h for the grammar it enforces).
#include "report_checker.h"

#include "stress_plan.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace stress {

namespace {

const char kBlockPrefix[] = "## -       ";
const char kIdLabel[] = "## -       ID           = ";
const char kTagLabel[] = "## -       AssertionTag = ";
const char kFileLine[] = "## -       FileName     = stress.cpp";
const char kLineLabel[] = "## -       LineNumber   = ";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start)); // an unfinished last line
            break;
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Reads the digits of `text` from `at` on into `value`; false when there
// are none (or too many for an int).
bool parseNumber(const std::string& text, std::size_t& at, int& value) {
    const std::size_t start = at;
    value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 9)
        value = value * 10 + (text[at++] - '0');
    return at > start && (at == text.size() || text[at] < '0' || text[at] > '9');
}

// A "<kind><worker>.<step>" name; false when `text` is not one. (Parsed by
// hand: the checker reads tens of thousands of names, also under emulators
// and memory checkers.)
bool parseName(const std::string& text, char kind, int& worker, int& step) {
    std::size_t at = 1;
    return !text.empty() && text[0] == kind && parseNumber(text, at, worker) && at < text.size() &&
           text[at++] == '.' && parseNumber(text, at, step) && at == text.size();
}

class Checker {
public:
    Checker(const Expected& expected, ReportFindings& findings)
        : expected_(expected), findings_(findings) {}

    void check(const std::string& report) {
        lines_ = splitLines(report);
        if (report.empty() || report.back() != '\n')
            problem(lines_.size(), "the report does not end with a line feed");
        checkHeader();
        checkSummary();
        const std::size_t bodyEnd = lines_.size() >= 10 ? lines_.size() - 4 : lines_.size();
        for (std::size_t k = 6; k < bodyEnd; ++k)
            k = checkLine(k, bodyEnd);
        checkCounts();
    }

private:
    void problem(std::size_t line, const std::string& text) {
        // A broken report would repeat the same problem many times.
        if (findings_.problems.size() < 20)
            findings_.problems.push_back("line " + std::to_string(line + 1) + ": " + text);
        else if (findings_.problems.size() == 20)
            findings_.problems.push_back("(more problems not shown)");
    }

    bool isWorker(int worker) const {
        return std::find(expected_.workers.begin(), expected_.workers.end(), worker) !=
               expected_.workers.end();
    }

    // A "<kind><worker>.<step>" name of one of this report's workers at a
    // step where the plan makes it.
    bool planned(const std::string& text, char kind, bool (*rule)(int), int& worker, int& step) {
        return parseName(text, kind, worker, step) && isWorker(worker) && step < expected_.steps &&
               (rule == nullptr || rule(step));
    }

    void once(std::set<std::string>& seen, const std::string& name, std::size_t line) {
        if (!seen.insert(name).second)
            problem(line, "written twice: " + name);
    }

    void expectLine(std::size_t k, const std::string& text) {
        if (k >= lines_.size() || lines_[k] != text)
            problem(k, "expected \"" + text + "\", found \"" +
                           (k < lines_.size() ? lines_[k] : std::string("<end>")) + "\"");
    }

    void checkHeader() {
        expectLine(0, "## -------------------------------");
        expectLine(1, "## TestTag     = " + expected_.testTag);
        expectLine(2, "## CompilerId  = unknown");
        expectLine(3, "## MachineId   = unknown");
        expectLine(4, "## Remark      = stress");
        expectLine(5, "");
    }

    void checkSummary() {
        if (lines_.size() < 10) {
            problem(lines_.size(), "too short for a header and a summary");
            return;
        }
        const std::size_t n = lines_.size();
        expectLine(n - 4, "## Assertions = " + std::to_string(expected_.assertions));
        expectLine(n - 3, "## FailedAssertions = " + std::to_string(expected_.failedAssertions));
        expectLine(n - 2, "");
        expectLine(n - 1, "");
    }

    // Checks the line at k (and, for a failure block, the lines that belong
    // to it); returns the index of the last line it took.
    std::size_t checkLine(std::size_t k, std::size_t end) {
        const std::string& raw = lines_[k];
        std::size_t at = 0;
        while (raw.compare(at, 2, "# ") == 0)
            at += 2;
        const int prefixes = static_cast<int>(at / 2);
        findings_.streamPrefixes += prefixes;
        const std::string rest = raw.substr(at);
        int worker = 0, step = 0;

        if (rest.empty())
            return k;
        if (startsWith(rest, "<o")) {
            if (rest.back() != '>' ||
                !planned(rest.substr(1, rest.size() - 2), 'o', streams, worker, step))
                problem(k, "not a stream piece of this report: " + raw);
            once(streamTexts_, rest, k);
            ++findings_.streamPieces;
            return k;
        }
        if (startsWith(rest, "## p")) {
            if (!planned(rest.substr(3), 'p', prints, worker, step))
                problem(k, "not a print line of this report: " + raw);
            once(printLines_, rest, k);
            ++findings_.prints;
            return k;
        }
        // Everything else is written after a line feed of its own or by the
        // FILE alone: a stream prefix in front of it means a split line.
        if (prefixes > 0) {
            problem(k, "a stream prefix in front of a report line: " + raw);
            return k;
        }
        if (startsWith(raw, kIdLabel) || startsWith(raw, kTagLabel))
            return checkBlock(k, end);
        if (startsWith(raw, kBlockPrefix)) {
            problem(k, "a failure block line out of its block: " + raw);
            return k;
        }
        if (startsWith(raw, "##    StepTag = ")) {
            if (!planned(raw.substr(16), 's', setsStepTag, worker, step))
                problem(k, "not a step tag of this report: " + raw);
            once(tagLines_, raw, k);
            ++findings_.stepTags;
            checkBlankBefore(k, 1);
            return k;
        }
        if (startsWith(raw, "## FunctionTag = ")) {
            if (!planned(raw.substr(17), 'F', setsFunctionOrRunTag, worker, step) || worker % 2)
                problem(k, "not a function tag of this report: " + raw);
            once(tagLines_, raw, k);
            ++findings_.functionTags;
            checkBlankBefore(k, 2);
            return k;
        }
        if (startsWith(raw, "## RunTag      = ")) {
            if (!planned(raw.substr(17), 'R', setsFunctionOrRunTag, worker, step) ||
                worker % 2 == 0)
                problem(k, "not a run tag of this report: " + raw);
            once(tagLines_, raw, k);
            ++findings_.runTags;
            checkBlankBefore(k, 1);
            return k;
        }
        problem(k, "not a line of the report's grammar: " + raw);
        return k;
    }

    // The `count` lines before k are empty but for stream prefixes.
    void checkBlankBefore(std::size_t k, std::size_t count) {
        for (std::size_t j = 1; j <= count; ++j) {
            if (k < j + 6) {
                problem(k, "no blank line in front");
                return;
            }
            const std::string& before = lines_[k - j];
            std::size_t at = 0;
            while (before.compare(at, 2, "# ") == 0)
                at += 2;
            if (at != before.size())
                problem(k - j, "expected a blank line, found \"" + before + "\"");
        }
    }

    std::size_t checkBlock(std::size_t k, std::size_t end) {
        checkBlankBefore(k, 1);
        std::string id;
        bool hasIdLine = false;
        if (startsWith(lines_[k], kIdLabel)) {
            hasIdLine = true;
            id = lines_[k].substr(sizeof kIdLabel - 1);
            ++k;
        }
        if (k + 2 >= end || !startsWith(lines_[k], kTagLabel)) {
            problem(k, "a failure block cut short");
            return k;
        }
        const std::string tag = lines_[k].substr(sizeof kTagLabel - 1);
        int worker = 0, step = 0;
        if (!planned(tag, 't', nullptr, worker, step)) {
            problem(k, "not a failure of this report: " + tag);
            return k;
        }
        once(failures_, tag, k);
        expectLine(k + 1, kFileLine);
        expectLine(k + 2, kLineLabel + std::to_string(step));
        if (hasIdLine != hasId(step))
            problem(k, "ID line " + std::string(hasIdLine ? "present" : "missing") + " for " + tag);
        if (hasIdLine)
            checkId(k - 1, id, worker);
        ++findings_.blocks;
        findings_.blocksWithId += hasIdLine ? 1 : 0;
        return k + 2;
    }

    // "T<n>", or "T<n>." followed by a function tag one of this report's
    // workers set.
    void checkId(std::size_t k, const std::string& id, int worker) {
        const std::string own = "T" + std::to_string(worker);
        if (id == own)
            return;
        int tagWorker = 0, tagStep = 0;
        if (!startsWith(id, own + ".") ||
            !planned(id.substr(own.size() + 1), 'F', setsFunctionOrRunTag, tagWorker, tagStep) ||
            tagWorker % 2 != 0)
            problem(k, "not an identifier of worker " + std::to_string(worker) + ": " + id);
    }

    void count(const char* what, int found, int wanted) {
        if (found != wanted)
            findings_.problems.push_back(std::string(what) + ": " + std::to_string(found) +
                                         " found, " + std::to_string(wanted) + " made");
    }

    void checkCounts() {
        const int workers = static_cast<int>(expected_.workers.size());
        int evenWorkers = 0;
        for (int worker : expected_.workers)
            evenWorkers += worker % 2 == 0 ? 1 : 0;
        const int steps = expected_.steps;
        const int tagSteps = countSteps(steps, setsFunctionOrRunTag);
        count("failure blocks", findings_.blocks, workers * steps);
        count("ID lines", findings_.blocksWithId, workers * countSteps(steps, hasId));
        count("print lines", findings_.prints, workers * countSteps(steps, prints));
        count("step tags", findings_.stepTags, workers * countSteps(steps, setsStepTag));
        count("function tags", findings_.functionTags, evenWorkers * tagSteps);
        count("run tags", findings_.runTags, (workers - evenWorkers) * tagSteps);
        // outStream() writes its "# " under the object's lock with the stream
        // just opened, so every one arrives; a text after it may be dropped.
        count("stream prefixes", findings_.streamPrefixes, workers * countSteps(steps, streams));
        if (findings_.streamPieces > workers * countSteps(steps, streams))
            findings_.problems.push_back("more stream pieces than were written");
    }

    const Expected& expected_;
    ReportFindings& findings_;
    std::vector<std::string> lines_;
    std::set<std::string> failures_, printLines_, tagLines_, streamTexts_;
};

} // namespace

ReportFindings checkReport(const std::string& report, const Expected& expected) {
    ReportFindings findings;
    Checker(expected, findings).check(report);
    return findings;
}

} // namespace stress
