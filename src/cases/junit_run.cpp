// SPDX-License-Identifier: MIT
// The runner's JUnit files (see junit_run.h).
#include "cases/junit_run.h"

#include "zkqe_output.h"
#include "platform/platform.h"
#include "reports/report_reader.h"
#include "cases/case_registry.h"
#include "cases/junit_output.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zkqe {

namespace {

// A hidden case that the filter would run were it not hidden: reported as
// skipped, as a disabled test is, so that CI sees it exists and did not run.
bool hiddenButSelected(const CaseFilter& filter, const RegisteredCase& registered) {
    if (!CaseFilter::hidden(registered.tags) || filter.selects(registered.name, registered.tags))
        return false;
    std::vector<std::string> shown = registered.tags;
    shown.erase(std::remove(shown.begin(), shown.end(), "."), shown.end());
    return filter.selects(registered.name, shown);
}

// Each case's lines from the run's report, the last run of the file (an
// appended report holds earlier ones).
void takeReportLines(const std::string& report, std::vector<CaseResult>& results) {
    std::vector<ReportRun> runs;
    if (readReport(report, runs) != ReportRead::report)
        return;
    const std::vector<ReportCase>& cases = runs.back().cases;
    std::size_t next = 0;
    for (CaseResult& result : results) {
        for (std::size_t i = next; i < cases.size(); ++i) {
            if (cases[i].name == result.name) {
                result.output = cases[i].lines;
                next = i + 1;
                break;
            }
        }
    }
}

// The text the alarm's handler writes, start()'s with the running case's
// name in place of a mark: prepared while the alarm may already count, so
// published by `armed` (release) and read after it (acquire). Plain arrays:
// no static destructor releases what the handler may read as the process
// ends.
constexpr char kNameMark = '\x7f';
struct Piece {
    char text[8192];
    std::size_t length;

    bool take(const std::string& from) {
        length = from.size() < sizeof text ? from.size() : 0;
        std::memcpy(text, from.data(), length);
        return length == from.size();
    }
};
struct TimeoutText {
    Piece paths[2];
    std::size_t pathCount;
    Piece head, tail;
    char text[16384];
};
TimeoutText timeoutText;
std::atomic<bool> armed{false};

} // namespace

void JunitFiles::caseTimedOut(const char* name) {
    if (!armed.load(std::memory_order_acquire))
        return;
    TimeoutText& t = timeoutText;
    std::size_t length = 0;
    // The name is cut rather than the end of the file.
    const auto put = [&length](const char* text, std::size_t size, std::size_t limit) {
        if (length + size <= limit) {
            std::memcpy(timeoutText.text + length, text, size);
            length += size;
        }
    };
    put(t.head.text, t.head.length, sizeof t.text);
    for (const char* c = name; *c != '\0'; ++c) {
        const char character = xmlCharacter(*c);
        const char* entity = xmlEntity(*c);
        put(entity != nullptr ? entity : &character, entity != nullptr ? std::strlen(entity) : 1,
            sizeof t.text - t.tail.length);
    }
    put(t.tail.text, t.tail.length, sizeof t.text);
    for (std::size_t i = 0; i < t.pathCount; ++i)
        platform::replaceFileFromHandler(t.paths[i].text, t.text, length);
}

JunitFiles::JunitFiles(const std::string& program, const RunnerOptions& options)
    : program_(program), filter_(options.filter),
      // Hidden cases are told once, by the first shard.
      firstShard_(options.shardIndex == 0), started_(std::time(nullptr)) {
    if (!options.junitFile.empty())
        paths_.push_back(options.junitFile);
    const char* xml = std::getenv("XML_OUTPUT_FILE");
    if (xml != nullptr && *xml != '\0' && options.junitFile != xml)
        paths_.push_back(xml);
    if (!paths_.empty())
        host_ = platform::hostName();
}

bool JunitFiles::start() const {
    if (paths_.empty())
        return true;
    CaseResult run;
    run.name = program_;
    run.failures.push_back({"", 0, "the run ended before its summary", "", FailureKind::crash});
    const bool written = write(junitText({{program_, "", host_, started_, {run}}}));
    run.name = std::string(1, kNameMark);
    run.failures.front() = {"", 0, "the alarm ended the run during this case", "",
                            FailureKind::timeout};
    const std::string timedOut = junitText({{program_, "", host_, started_, {run}}});
    const std::size_t mark = timedOut.find(kNameMark);
    // Both pieces fit the text whole, so the name has what room is left.
    bool fits = timeoutText.head.take(timedOut.substr(0, mark)) &&
                timeoutText.tail.take(timedOut.substr(mark + 1)) &&
                timeoutText.head.length + timeoutText.tail.length < sizeof timeoutText.text;
    timeoutText.pathCount = paths_.size();
    for (std::size_t i = 0; i < paths_.size(); ++i)
        fits = timeoutText.paths[i].take(paths_[i] + '\0') && fits;
    armed.store(fits, std::memory_order_release);
    return written;
}

bool JunitFiles::finish(std::vector<CaseResult> results, const std::string& report) const {
    armed.store(false, std::memory_order_release);
    if (paths_.empty())
        return true;
    takeReportLines(report, results);
    // In the order of the run, which is registration order: the hidden cases
    // where they would have run, a hook's failure where it ran.
    const std::vector<RegisteredCase>& all = registeredCases();
    std::vector<CaseResult> ordered;
    std::size_t told = 0; // the registered cases before this place
    const auto tellHidden = [&](std::size_t end) {
        for (; told < end; ++told) {
            if (!firstShard_ || !hiddenButSelected(filter_, all[told]))
                continue;
            CaseResult hidden;
            hidden.name = all[told].name;
            hidden.file = all[told].file;
            hidden.line = all[told].line;
            hidden.suite = all[told].suite;
            hidden.hidden = true;
            ordered.push_back(std::move(hidden));
        }
    };
    for (CaseResult& result : results) {
        const auto found =
            std::find_if(all.begin() + static_cast<std::ptrdiff_t>(told), all.end(),
                         [&result](const RegisteredCase& c) { return c.name == result.name; });
        if (found != all.end()) {
            tellHidden(static_cast<std::size_t>(found - all.begin()));
            ++told;
        }
        ordered.push_back(std::move(result));
    }
    tellHidden(all.size());
    std::vector<JunitSuite> suites;
    for (CaseResult& result : ordered) {
        const std::string suite = caseSuite(result);
        auto found = std::find_if(suites.begin(), suites.end(),
                                  [&suite](const JunitSuite& s) { return s.name == suite; });
        if (found == suites.end())
            found = suites.insert(suites.end(), {suite, program_, host_, started_, {}});
        found->cases.push_back(std::move(result));
    }
    return write(junitText(suites));
}

bool JunitFiles::write(const std::string& text) const {
    bool all = true;
    for (const std::string& path : paths_) {
        FILE* file = qe_fopen(path.c_str(), "wb");
        bool written =
            file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
        written = file != nullptr && std::fclose(file) == 0 && written;
        if (!written)
            std::fprintf(stderr, "%s: cannot write %s\n", program_.c_str(), path.c_str());
        all = all && written;
    }
    return all;
}

} // namespace zkqe
