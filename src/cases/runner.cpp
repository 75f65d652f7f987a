// SPDX-License-Identifier: MIT
// The case runner: one ZKQETest whose body runs the selected cases, each
// under its own function tag, each leaf section as a run of its own.
//
// What ends a case's run: its end, a fatal check (zktest::RequireAbort) or an
// exception, which is a failure of the case; the next run or case follows.
// tooManyFailures is the one exception that passes through, so go() ends the
// run at the failure limit as it does for any test.
#include "zktest_cases.h"

#include "zkqe_mutex.h"
#include "cases/case_filter.h"
#include "cases/case_registry.h"
#include "cases/console.h"
#include "cases/section_tracker.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace zkqe {

namespace {

struct RunnerOptions {
    bool list = false;
    bool listNames = false;
    bool verbose = false;
    bool help = false;
    std::string filter;
    bool filterGiven = false;
    int maxFailures = 0; // a suite runs to its end unless told otherwise
    std::string error;
    std::vector<char*> rest; // argv[0] and the single-letter flags
};

RunnerOptions parseOptions(int argc, char** argv) {
    RunnerOptions options;
    options.rest.push_back(argc > 0 ? argv[0] : nullptr);
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strncmp(arg, "--", 2) != 0) {
            options.rest.push_back(argv[i]);
        } else if (std::strcmp(arg, "--list") == 0) {
            options.list = true;
        } else if (std::strcmp(arg, "--list-names") == 0) {
            options.listNames = true;
        } else if (std::strcmp(arg, "--verbose") == 0) {
            options.verbose = true;
        } else if (std::strcmp(arg, "--help") == 0) {
            options.help = true;
        } else if (std::strncmp(arg, "--filter=", 9) == 0) {
            options.filter = arg + 9;
            options.filterGiven = true;
        } else if (std::strcmp(arg, "--filter") == 0 && i + 1 < argc) {
            options.filter = argv[++i];
            options.filterGiven = true;
        } else if (std::strcmp(arg, "--max-failures") == 0 && i + 1 < argc &&
                   std::sscanf(argv[i + 1], "%d", &options.maxFailures) == 1 &&
                   options.maxFailures >= 0) {
            ++i;
        } else if (options.error.empty()) {
            options.error = std::string("unknown option ") + arg;
        }
    }
    options.rest.push_back(nullptr);
    return options;
}

constexpr const char* kUsage =
    "usage: %s [--list | --list-names] [--filter TERMS] [--verbose] [--max-failures N]\n"
    "          [ZKQETest flags]\n"
    "  --list          the cases, their tags and where they are\n"
    "  --list-names    the case names alone, one per line\n"
    "  --filter TERMS  the cases to run: names or [tags], comma-separated,\n"
    "                  * and ? as wildcards, ~ before a term to exclude it\n"
    "  --verbose       names each case on standard error as it starts\n"
    "  --max-failures N  ends the run at the Nth failed check (0, the default: never)\n"
    "  -O FILE -D DIR -M ID -C ID -L SECONDS -G FILE -A   as for every test\n";

// "ring" from "/build/bin/ring" or "C:\\bin\\ring.exe".
std::string programName(const char* argv0) {
    std::string name = argv0 != nullptr ? argv0 : "";
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0)
        name.erase(name.size() - 4);
    return name.empty() ? "zktest" : name;
}

class CaseRunner : public ZKQETest {
public:
    CaseRunner(const std::string& name, std::vector<const RegisteredCase*> cases, bool verbose)
        : ZKQETest(name.c_str(), "", ".", (name + ".out").c_str()), cases_(std::move(cases)),
          verbose_(verbose), tracker_(*this) {}

    void runTest() override {
        setActiveSectionTracker(&tracker_);
        try {
            for (const RegisteredCase* registered : cases_)
                runCase(*registered);
        } catch (...) {
            setActiveSectionTracker(nullptr);
            throw;
        }
        setActiveSectionTracker(nullptr);
    }

    int casesPassed = 0;
    int casesFailed = 0;
    int casesSkipped = 0;

private:
    void runCase(const RegisteredCase& registered) {
        if (verbose_)
            consoleCaseStarting(registered.name.c_str(), registered.file, registered.line);
        setFunctionTag(registered.name.c_str());
        const int failuresBefore = detectedErrors_;
        tracker_.startCase();
        skipped_ = false;
        try {
            do {
                tracker_.startRun();
                tracker_.endRun(!runOnce(registered));
            } while (!tracker_.caseFinished() && !skipped_);
        } catch (const tooManyFailures&) {
            ++casesFailed;
            throw;
        }
        if (detectedErrors_ > failuresBefore)
            ++casesFailed;
        else if (skipped_)
            ++casesSkipped;
        else
            ++casesPassed;
    }

    // False when an exception ended the run.
    bool runOnce(const RegisteredCase& registered) {
        try {
            registered.run(*this);
            return true;
        } catch (const tooManyFailures&) {
            throw;
        } catch (const zktest::RequireAbort&) {
            // Already reported by the check that threw it.
        } catch (const zktest::SkipCase&) {
            skipped_ = true; // the whole case: none of its other sections runs
        } catch (...) {
            zktest::ValueText tag;
            tag.append("unexpected exception ");
            zktest::appendCurrentException(tag);
            assertTrue(tag.c_str(), registered.file, registered.line, false, nullptr);
        }
        return false;
    }

    std::vector<const RegisteredCase*> cases_;
    bool verbose_;
    bool skipped_ = false;
    SectionTracker tracker_;
};

// Two cases of one name would be one CTest test and one function tag.
bool reportDuplicateNames(const std::string& program, const std::vector<RegisteredCase>& cases) {
    for (std::size_t i = 0; i < cases.size(); ++i)
        for (std::size_t j = i + 1; j < cases.size(); ++j)
            if (cases[i].name == cases[j].name) {
                // Sources in name order: the linker's order of files differs
                // between platforms, the message does not.
                const bool swap = std::strcmp(cases[i].file, cases[j].file) > 0;
                const RegisteredCase& first = swap ? cases[j] : cases[i];
                const RegisteredCase& second = swap ? cases[i] : cases[j];
                std::fprintf(stderr, "%s: two cases are named \"%s\": %s:%d and %s:%d\n",
                             program.c_str(), first.name.c_str(), first.file, first.line,
                             second.file, second.line);
                return true;
            }
    return false;
}

void listCases(const std::vector<const RegisteredCase*>& cases, bool namesOnly) {
    for (const RegisteredCase* registered : cases) {
        if (namesOnly) {
            std::printf("%s\n", registered->name.c_str());
            continue;
        }
        std::string tags;
        for (const std::string& tag : registered->tags)
            tags += "[" + tag + "]";
        std::printf("%s%s%s  (%s:%d)\n", registered->name.c_str(), tags.empty() ? "" : "  ",
                    tags.c_str(), registered->file, registered->line);
    }
    if (!namesOnly)
        std::printf("%zu case%s\n", cases.size(), cases.size() == 1 ? "" : "s");
}

} // namespace
} // namespace zkqe

int zktest::runCases(int argc, char** argv) {
    using namespace zkqe;
    const auto start = std::chrono::steady_clock::now();
    RunnerOptions options = parseOptions(argc, argv);
    const std::string name = programName(options.rest[0]);
    if (options.help || !options.error.empty()) {
        if (!options.error.empty())
            std::fprintf(stderr, "%s: %s\n", name.c_str(), options.error.c_str());
        std::fprintf(options.help ? stdout : stderr, kUsage, name.c_str());
        return options.help ? 0 : 2;
    }

    const std::vector<RegisteredCase>& all = registeredCases();
    if (reportDuplicateNames(name, all))
        return 2;
    const CaseFilter filter(options.filter);
    std::vector<const RegisteredCase*> selected;
    for (const RegisteredCase& registered : all)
        if (filter.selects(registered.name, registered.tags))
            selected.push_back(&registered);

    if (options.list || options.listNames) {
        listCases(selected, options.listNames);
        return 0;
    }
    if (selected.empty()) {
        if (options.filterGiven)
            std::fprintf(stderr, "%s: no case matches --filter \"%s\"\n", name.c_str(),
                         options.filter.c_str());
        else
            std::fprintf(stderr, "%s: the program holds no case\n", name.c_str());
        return 1;
    }

    CaseRunner runner(name, std::move(selected), options.verbose);
    runner.maxFailures(options.maxFailures);
    runner.processDefaultArguments(static_cast<int>(options.rest.size() - 1), options.rest.data());
    const int checksBefore = ZKQESingletonAssertionCounter::getCount();
    const int failedBefore = ZKQESingletonAssertionFailedCounter::getCount();
    startConsole();
    const int failures = runner.go();
    stopConsole();
    const int checks = ZKQESingletonAssertionCounter::getCount() - checksBefore;
    const int failed = ZKQESingletonAssertionFailedCounter::getCount() - failedBefore;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    consoleSummary({runner.casesPassed, runner.casesFailed, runner.casesSkipped, checks - failed,
                    failed, elapsed.count()});
    // Any failure fails the process: go()'s count could read back as 0.
    return failures == 0 && failed == 0 ? 0 : 1;
}
