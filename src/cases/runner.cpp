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
#include "zkqe_output.h"
#include "driver/safety_nets.h"
#include "reports/failure_listener.h"
#include "reports/report_access.h"
#include "platform/platform.h"
#include "platform/worker_process.h"
#include "cases/case_filter.h"
#include "cases/case_pool.h"
#include "cases/case_registry.h"
#include "cases/case_results.h"
#include "cases/console.h"
#include "cases/death_checks.h"
#include "cases/foreign_flags.h"
#include "cases/hook_plan.h"
#include "cases/junit_run.h"
#include "cases/runner_options.h"
#include "cases/section_tracker.h"
#include "cases/tap_output.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace zkqe {

namespace {

constexpr const char* kUsage =
    "usage: %s [--list | --list-names] [--filter TERMS] [--verbose] [flags] [TERMS...]\n"
    "  --list          the cases, their tags and where they are\n"
    "  --list-names    the case names alone, one per line\n"
    "  --list-tests    every case for a test driver: marked lines, hidden ones\n"
    "                  with '-', the others with '+'\n"
    "  --filter TERMS  the cases to run: names or [tags], comma-separated,\n"
    "                  * and ? as wildcards, ~ before a term to exclude it\n"
    "  --verbose       names each case on standard error as it starts\n"
    "  --max-failures N  ends the run at the Nth failed check (0, the default: never)\n"
    "  --shard-count N --shard-index I   runs the selected cases whose place,\n"
    "                  counted from 0, leaves I when divided by N\n"
    "  --tap[=FILE]    TAP version 14 on standard output, or into FILE\n"
    "  --repeat N      runs the selected cases N times over\n"
    "  --shuffle       in an order drawn from --seed S (a new seed, printed,\n"
    "                  when none is given)\n"
    "  --junit FILE    writes JUnit XML there (as XML_OUTPUT_FILE does)\n"
    "  --jobs N, -j N  runs the cases in N worker processes (0 or auto: one per\n"
    "                  core); a case that crashes, exits or hangs fails alone\n"
    "  --isolate       runs every case in a fresh worker process\n"
    "  --timeout SECONDS  fails a case that runs longer, and goes on\n"
    "  --retries N     runs a failed case up to N times more; one that then\n"
    "                  passes is flaky: counted apart, its failures kept\n"
    "  --durations     each case's time in the report, the slowest ten said\n"
    "  TERMS           words without a dash: more terms of the filter\n"
    "  -O FILE -D DIR -M ID -C ID -L SECONDS -G FILE -A   as for every test,\n"
    "                  each a word of its own with its value the next word\n";

constexpr const char* kTestListBegin = "--- zktest cases ---";
constexpr const char* kTestListEnd = "--- end of zktest cases ---";

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

// The running cases' tracker, for failures on any of a case's threads.
std::atomic<const SectionTracker*> sections{nullptr};

// Every failed check: echoed on the console and kept for the run's outputs.
// The section is the tracker's: the report's step tag stays on a section
// after it ends, and on the last section of the case before.
void recordAndTell(const FailureNotice& notice, bool tell) {
    const SectionTracker* tracker = sections.load(std::memory_order_acquire);
    const std::string section = tracker != nullptr ? tracker->section() : "";
    FailureNotice told = notice;
    told.stepTag = section.c_str();
    if (tell)
        consoleFailure(told);
    recordFailure(notice.tag, notice.fileName, notice.lineNumber, told.stepTag);
}

void onFailure(const FailureNotice& notice) {
    recordAndTell(notice, true);
}

// A worker's failures reach the console through the parent, in the run's
// order, whichever worker finishes first.
void onWorkerFailure(const FailureNotice& notice) {
    recordAndTell(notice, false);
}

// What the exit handler needs to say who called exit(): the run between
// its start and its summary, and the case running then.
struct RunInProgress {
    ZKQETest* runner = nullptr;
    std::string program;
    const char* prematureExitFile = nullptr;
};
RunInProgress inProgress;
// Read by the alarm's abort handler on the alarm's thread as well.
std::atomic<const RegisteredCase*> runningCase{nullptr};

class CaseRunner : public ZKQETest, public CasePoolClient {
public:
    // The report's folder and name are the flags' from the start: the
    // constructor creates the status file after them.
    CaseRunner(const std::string& name, const RunnerOptions& options,
               std::vector<const RegisteredCase*> cases)
        : ZKQETest(name.c_str(), "", reportDir(options).c_str(), reportFile(name, options).c_str(),
                   options.append),
          cases_(std::move(cases)), verbose_(options.verbose), durations_(options.durations),
          tracker_(*this) {
        if (!options.machineId.empty())
            machineId(options.machineId.c_str());
        if (!options.compilerId.empty())
            compilerId(options.compilerId.c_str());
    }

    void runTest() override {
        sections.store(&tracker_, std::memory_order_release);
        setActiveSectionTracker(&tracker_);
        HookPlan hooks(cases_, registeredHooks());
        hooks_ = &hooks;
        if (parentTasks_ >= 0)
            serveParent(hooks);
        try {
            if (poolAsked_)
                runInPool(hooks);
            for (std::size_t i = 0; i < cases_.size() && !poolAsked_; ++i) {
                runBeforeHooks(hooks, i);
                runOrRefuse(i);
                runAfterHooks(hooks, i);
            }
        } catch (...) {
            setActiveSectionTracker(nullptr);
            throw;
        }
        setActiveSectionTracker(nullptr);
    }

    std::string reportPath() const { return fullOutputFileName ? fullOutputFileName : ""; }

    // The cases go to worker processes. Hooks stay in this process, every
    // before-all ahead of the first case and every after-all behind the
    // last: the workers are copies made after the before-alls ran.
    void usePool(const PoolSettings& settings, unsigned retries) {
        pool_ = settings;
        retries_ = retries;
        poolAsked_ = true;
    }

    // A worker started again by name: its tasks come from these pipes.
    void serveFrom(int tasks, int findings) {
        parentTasks_ = tasks;
        parentFindings_ = findings;
    }

    void becomeWorker(const std::string& capture) override {
        inProgress.runner = nullptr; // an exit() in a case is the parent's to report
        std::signal(SIGABRT, SIG_DFL);
        tap = nullptr;
        maxFailures(0); // the parent counts the run's failures, in order
        // Set aside, not freed: a forked worker freeing the parent's results
        // would copy every page they lie on.
        resultsOfTheParent = new std::vector<CaseResult>(std::move(results));
        results.clear();
        worker_ = true;
        verbose_ = false;
        failureListener.store(&onWorkerFailure);
        consoleLeaveSkipsToParent();
        leaveStatusFileToParent();
        outputDir(""); // the capture's path is whole
        changeOutputFile(capture.c_str());
    }

    CaseFinding runInWorker(std::size_t position) override {
        const int checksBefore = ZKQESingletonAssertionCounter::getCount();
        const int failedBefore = ZKQESingletonAssertionFailedCounter::getCount();
        const int casesFailedBefore = casesFailed, casesSkippedBefore = casesSkipped;
        runOrRefuse(position);
        CaseFinding finding;
        finding.assertions = ZKQESingletonAssertionCounter::getCount() - checksBefore;
        finding.failedAssertions = ZKQESingletonAssertionFailedCounter::getCount() - failedBefore;
        finding.verdict = casesFailed != casesFailedBefore     ? CaseFinding::Verdict::failed
                          : casesSkipped != casesSkippedBefore ? CaseFinding::Verdict::skipped
                                                               : CaseFinding::Verdict::passed;
        finding.result = std::move(results.back());
        results.clear();
        return finding;
    }

    void awaiting(std::size_t position) override {
        runningCase.store(cases_[position], std::memory_order_release);
    }

    bool takeFinding(std::size_t position, CaseFinding& finding) override {
        const RegisteredCase& registered = *cases_[position];
        // A worker started again by name that read its words otherwise
        // would run other cases under these places: never taken as theirs.
        if (finding.death.empty() && finding.result.name != registered.name) {
            finding.verdict = CaseFinding::Verdict::failed;
            finding.death = "the worker ran \"" + finding.result.name + "\" in its place";
            finding.report.clear();
            finding.result = CaseResult();
            finding.assertions = finding.failedAssertions = 0;
        }
        ReportAccess::appendBytes(*this, finding.report.data(), finding.report.size());
        if (finding.verdict == CaseFinding::Verdict::failed && finding.attempt < retries_) {
            keepFailedRun(registered, finding);
            return false;
        }
        ReportAccess::countElsewhere(*this, finding.assertions, finding.failedAssertions);
        CaseResult& result = finding.result;
        result.name = registered.name;
        result.file = registered.file;
        result.line = registered.line;
        result.suite = registered.suite;
        result.runs = finding.attempt + 1;
        result.earlierFailures = std::move(earlierFailures_);
        earlierFailures_.clear();
        results.push_back(std::move(result));
        ++casesEnded;
        tellFailures(results.back());
        if (!finding.death.empty()) {
            // The end of the worker, said where the case would have said it.
            ReportAccess::nameFunction(*this, registered.name.c_str());
            recordFailuresInto(&results.back());
            assertTrue(finding.death.c_str(), registered.file, registered.line, false, nullptr);
            markLastFailure(finding.deathKind);
            recordFailuresInto(nullptr);
        }
        sayDuration();
        if (finding.verdict == CaseFinding::Verdict::failed)
            ++casesFailed;
        else if (finding.attempt != 0)
            ++casesFlaky;
        else if (finding.verdict == CaseFinding::Verdict::skipped)
            ++casesSkipped;
        else
            ++casesPassed;
        writeTapPoint();
        if (ReportAccess::failureLimitReached(*this))
            throw tooManyFailures();
        return true;
    }

    int casesPassed = 0;
    int casesFailed = 0;
    std::vector<CaseResult> results;
    std::vector<CaseResult>* resultsOfTheParent = nullptr; // a worker's, never freed
    int casesSkipped = 0;
    int casesFlaky = 0;
    // Where each case's TAP test point goes as it ends; null: no TAP.
    std::FILE* tap = nullptr;
    std::size_t tapPoints = 0;
    // The cases that ran to their verdict, or were refused one.
    std::size_t casesEnded = 0;

private:
    // A failed run that runs again: its report lines stay, marked, and its
    // failures go with the case's last run. Its counts are not the run's:
    // a case that passes when run again is flaky, not failed.
    void keepFailedRun(const RegisteredCase& registered, CaseFinding& finding) {
        std::vector<CaseFailure>& failures = finding.result.failures;
        if (!finding.death.empty()) {
            CaseFailure death;
            death.file = registered.file;
            death.line = registered.line;
            death.text = finding.death;
            death.kind = finding.deathKind;
            failures.push_back(death);
        }
        earlierFailures_.insert(earlierFailures_.end(), failures.begin(), failures.end());
        const std::string mark =
            "run " + std::to_string(finding.attempt + 1) + " of \"" + registered.name +
            "\" failed" + (finding.death.empty() ? "" : ": " + finding.death) + "; it runs again";
        print(mark.c_str());
        consoleRunAgain(registered.name, registered.file, registered.line, finding.attempt + 1);
    }

    // Like a copy of the parent, it runs every before-all first, for what
    // they set up; their report lines stay ahead of every case's. It ends
    // here, without the run's end: the parent owns the summary.
    [[noreturn]] void serveParent(HookPlan& hooks) {
        for (std::size_t i = 0; i < cases_.size(); ++i)
            runBeforeHooks(hooks, i);
        const int status = serveTasks(*this, parentTasks_, parentFindings_, reportPath());
        std::fflush(nullptr);
        std::_Exit(status);
    }

    // In the parent only: a worker's report must stay free of times, which
    // differ between runs.
    void sayDuration() {
        if (!durations_ || worker_)
            return;
        char line[48];
        std::snprintf(line, sizeof line, "time %.6f s", results.back().seconds);
        print(line);
    }

    // What the console would have said had the case run in this process.
    void tellFailures(const CaseResult& result) {
        if (verbose_)
            consoleCaseStarting(result.name.c_str(), result.file.c_str(), result.line);
        for (const CaseFailure& failure : result.failures) {
            consoleFailure({failure.text.c_str(), failure.file.c_str(), failure.line,
                            result.name.c_str(), failure.section.c_str()});
            if (failure.kind == FailureKind::require || failure.kind == FailureKind::exception)
                consoleStopped(result.name, failure);
        }
        // A skip ends its case: said last, as it was.
        if (!result.skipFile.empty())
            consoleSkip(result.skipFile.c_str(), result.skipLine, result.skipReason.c_str());
    }

    void runBeforeHooks(HookPlan& hooks, std::size_t i) {
        for (HookPlan::Scope* scope : hooks.opening(i))
            for (const RegisteredHook* hook : scope->before)
                scope->failed = !runHook(*hook) || scope->failed;
    }

    void runAfterHooks(HookPlan& hooks, std::size_t i) {
        for (HookPlan::Scope* scope : hooks.closing(i))
            for (const RegisteredHook* hook : scope->after)
                runHook(*hook);
    }

    void runOrRefuse(std::size_t i) {
        if (const HookPlan::Scope* failed = hooks_->failedScopeOf(i, cases_[i]->suite))
            refuseCase(*cases_[i], *failed);
        else
            runCase(*cases_[i]);
    }

    void runInPool(HookPlan& hooks) {
        for (std::size_t i = 0; i < cases_.size(); ++i)
            runBeforeHooks(hooks, i);
        struct NoneAwaited {
            ~NoneAwaited() { runningCase.store(nullptr, std::memory_order_release); }
        } noneAwaitedAfter;
        if (!runInWorkers(*this, cases_.size(), pool_)) {
            std::fprintf(stderr, "%s: no worker processes here: the cases run in this one\n",
                         testTag());
            for (std::size_t i = 0; i < cases_.size(); ++i)
                runOrRefuse(i);
        }
        for (std::size_t i = 0; i < cases_.size(); ++i)
            runAfterHooks(hooks, i);
    }

    static std::string reportFile(const std::string& name, const RunnerOptions& options) {
        return options.outputFile.empty() ? name + ".out" : options.outputFile;
    }
    // A report named with a path drops the folder, as go() does when it
    // opens it; the status file must be named the same way.
    static std::string reportDir(const RunnerOptions& options) {
        const std::string& file = options.outputFile;
        if (file.find('/') != std::string::npos || file.find(pathSeparator[0]) != std::string::npos)
            return "";
        return options.outputDir.empty() ? "." : options.outputDir;
    }

    void runCase(const RegisteredCase& registered) {
        if (verbose_)
            consoleCaseStarting(registered.name.c_str(), registered.file, registered.line);
        setFunctionTag(registered.name.c_str());
        runningCase.store(&registered, std::memory_order_release);
        startDeathChecks(registered);
        startResult(registered.name, registered.file, registered.line, registered.suite);
        const auto start = std::chrono::steady_clock::now();
        const int failuresBefore = detectedErrors_;
        tracker_.startCase();
        skipped_ = ended_ = false;
        try {
            do {
                tracker_.startRun();
                tracker_.endRun(!runOnce(registered));
            } while (!tracker_.caseFinished() && !skipped_ && !ended_);
        } catch (const tooManyFailures&) {
            ++casesFailed;
            ++casesEnded;
            endCase(start);
            writeTapPoint();
            throw;
        }
        endCase(start);
        ++casesEnded;
        sayDuration();
        if (detectedErrors_ > failuresBefore)
            ++casesFailed;
        else if (skipped_)
            ++casesSkipped, results.back().skipped = true;
        else
            ++casesPassed;
        writeTapPoint();
    }

    void writeTapPoint() {
        if (tap != nullptr)
            zkqe::writeTapPoint(tap, ++tapPoints, results.back());
    }

    // The record the failures from now on go to.
    void startResult(const std::string& name, const char* file, int line,
                     const std::string& suite) {
        leavePreviousSections();
        CaseResult result;
        result.name = name;
        result.file = file;
        result.line = line;
        result.suite = suite;
        results.push_back(std::move(result));
        recordFailuresInto(&results.back());
    }

    static std::string hookName(bool before, const std::string& suite) {
        std::string name = before ? "before all" : "after all";
        return suite.empty() ? name : name + " of " + suite;
    }

    // A hook is no case: it shows in the outputs only when it fails. False
    // when it failed.
    bool runHook(const RegisteredHook& hook) {
        const std::string name = hookName(hook.before, hook.suite);
        setFunctionTag(name.c_str());
        startResult(name, hook.file, hook.line, hook.suite);
        const int failuresBefore = detectedErrors_;
        try {
            hook.run();
        } catch (const tooManyFailures&) {
            recordFailuresInto(nullptr);
            throw;
        } catch (const zktest::RequireAbort&) {
            markLastFailure(FailureKind::require);
        } catch (const zktest::SkipCase&) {
        } catch (...) {
            failOnCurrentException(hook.file, hook.line);
        }
        recordFailuresInto(nullptr);
        const bool passed = detectedErrors_ == failuresBefore;
        if (passed)
            results.pop_back();
        else
            writeTapPoint();
        return passed;
    }

    // A case whose before-all hook failed: failed, without running.
    void refuseCase(const RegisteredCase& registered, const HookPlan::Scope& failed) {
        setFunctionTag(registered.name.c_str());
        startResult(registered.name, registered.file, registered.line, registered.suite);
        const std::string why = "not run: " + hookName(true, failed.suite) + " failed";
        assertTrue(why.c_str(), registered.file, registered.line, false, nullptr);
        recordFailuresInto(nullptr);
        ++casesFailed;
        ++casesEnded;
        writeTapPoint();
    }

    void endCase(std::chrono::steady_clock::time_point start) {
        recordFailuresInto(nullptr);
        runningCase.store(nullptr, std::memory_order_release);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        results.back().seconds = elapsed.count();
    }

    // False when an exception ended the run.
    bool runOnce(const RegisteredCase& registered) {
        try {
            runRegisteredCase(registered, *this);
            return true;
        } catch (const tooManyFailures&) {
            throw;
        } catch (const zktest::RequireAbort&) {
            // Already reported by the check that threw it, which stopped the run.
            markLastFailure(FailureKind::require);
        } catch (const zktest::SkipCase&) {
            skipped_ = true; // the whole case: none of its other sections runs
        } catch (const zktest::EndCase&) {
            markLastFailure(FailureKind::require);
            ended_ = true;
        } catch (...) {
            failOnCurrentException(registered.file, registered.line);
        }
        return false;
    }

    // Inside a catch (...): the exception as the run's failure.
    void failOnCurrentException(const char* file, int line) {
        zktest::ValueText tag;
        tag.append("unexpected exception ");
        zktest::appendCurrentException(tag);
        assertTrue(tag.c_str(), file, line, false, nullptr);
        markLastFailure(FailureKind::exception);
    }

    // A case starts outside every section: the step tag an earlier case left
    // must not name this one's failures (nor a line in the report, as the
    // report's readers start each function tag outside sections too).
    void leavePreviousSections() {
        ZKQEMutexGuard guard(mutex);
        std::free(stepTag_);
        stepTag_ = nullptr;
    }

    // The failure that ended the run, and the note that says so.
    void markLastFailure(FailureKind kind) {
        CaseFailure last;
        {
            ZKQEMutexGuard guard(mutex);
            if (results.back().failures.empty())
                return;
            results.back().failures.back().kind = kind;
            last = results.back().failures.back();
        }
        if (!worker_)
            consoleStopped(results.back().name, last);
    }

    std::vector<const RegisteredCase*> cases_;
    HookPlan* hooks_ = nullptr;
    PoolSettings pool_;
    bool poolAsked_ = false;
    std::vector<CaseFailure> earlierFailures_; // of the case being run again
    unsigned retries_ = 0;
    int parentTasks_ = -1;
    int parentFindings_ = -1;
    bool verbose_;
    bool durations_;
    bool worker_ = false;
    bool skipped_ = false;
    bool ended_ = false; // by zktest::EndCase
    SectionTracker tracker_;
};

// Two cases of one name would be one CTest test and one function tag. The
// pair told is the one a pairwise search in registration order finds first
// (the earliest case that has a namesake, and its first namesake), found by
// sorting, so a program of a hundred thousand cases starts at once.
bool reportDuplicateNames(const std::string& program, const std::vector<RegisteredCase>& cases) {
    std::vector<std::size_t> order(cases.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&cases](std::size_t a, std::size_t b) {
        const int byName = cases[a].name.compare(cases[b].name);
        return byName != 0 ? byName < 0 : a < b;
    });
    std::size_t firstI = cases.size(), firstJ = 0;
    for (std::size_t k = 1; k < order.size(); ++k) {
        // Within a run of one name the indices ascend: its first two are the
        // name's earliest case and that case's first namesake.
        const bool startsRun = k == 1 || cases[order[k - 2]].name != cases[order[k - 1]].name;
        if (startsRun && cases[order[k - 1]].name == cases[order[k]].name &&
            order[k - 1] < firstI) {
            firstI = order[k - 1];
            firstJ = order[k];
        }
    }
    if (firstI == cases.size())
        return false;
    // Sources in name order: the linker's order of files differs between
    // platforms, the message does not.
    const bool swap = std::strcmp(cases[firstI].file, cases[firstJ].file) > 0;
    const RegisteredCase& first = swap ? cases[firstJ] : cases[firstI];
    const RegisteredCase& second = swap ? cases[firstI] : cases[firstJ];
    std::fprintf(stderr, "%s: two cases are named \"%s\": %s:%d and %s:%d\n", program.c_str(),
                 first.name.c_str(), first.file, first.line, second.file, second.line);
    return true;
}

// Between marker lines, so that a driver reading standard output skips what
// main() or a static constructor printed; hidden cases marked, for drivers
// that register them disabled.
void listTests(const std::vector<RegisteredCase>& cases) {
    std::printf("%s\n", kTestListBegin);
    for (const RegisteredCase& registered : cases) {
        std::printf("%c%s\n", CaseFilter::hidden(registered.tags) ? '-' : '+',
                    registered.name.c_str());
    }
    std::printf("%s\n", kTestListEnd);
}

// GoogleTest's listing, which its test drivers parse: each suite's line
// ("Suite.") whenever the suite changes, then its cases' names indented.
void listCasesAsGtest(const std::vector<const RegisteredCase*>& cases) {
    const std::string* suite = nullptr;
    for (const RegisteredCase* registered : cases) {
        if (suite == nullptr || *suite != registered->suite)
            std::printf("%s.\n", registered->suite.c_str());
        suite = &registered->suite;
        const std::size_t skip = suite->empty() ? 0 : suite->size() + 1;
        std::printf("  %s\n", registered->name.c_str() + skip);
    }
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

// What a test driver says through the environment (Bazel, and GoogleTest's
// own names) fills what the command line left; an unreadable value is a
// usage error like a bad option.
void readTestEnvironment(RunnerOptions& options) {
    if (const char* only = std::getenv("TESTBRIDGE_TEST_ONLY"); only != nullptr && *only != '\0') {
        options.filter += options.filter.empty() ? only : std::string(",") + only;
        options.filterGiven = true;
    }
    // The driver keeps what lands there; it is made if the driver left that
    // to the test.
    if (const char* outputs = std::getenv("TEST_UNDECLARED_OUTPUTS_DIR");
        outputs != nullptr && *outputs != '\0' && options.outputDir.empty()) {
        options.outputDir = outputs;
        std::error_code error;
        std::filesystem::create_directories(outputs, error);
    }
    if (options.shardCount != 0 || options.shardIndexGiven)
        return;
    const struct {
        const char* count;
        const char* index;
    } kShardVariables[] = {{"TEST_TOTAL_SHARDS", "TEST_SHARD_INDEX"},
                           {"GTEST_TOTAL_SHARDS", "GTEST_SHARD_INDEX"}};
    for (const auto& names : kShardVariables) {
        const char* count = std::getenv(names.count);
        if (count == nullptr)
            continue;
        const char* index = std::getenv(names.index);
        if (!parseWholeNumber(count, 1, &options.shardCount))
            options.error = std::string(names.count) + "=" + count + ": not a whole number from 1";
        else if (index == nullptr || !parseWholeNumber(index, 0, &options.shardIndex))
            options.error = std::string(names.index) + "=" + (index ? index : "") +
                            ": not a whole number from 0";
        options.shardIndexGiven = true;
        return;
    }
}

// The cases of this shard: every case runs in exactly one of the shards.
std::vector<const RegisteredCase*> shardOf(const std::vector<const RegisteredCase*>& selected,
                                           const RunnerOptions& options) {
    if (options.shardCount == 0)
        return selected;
    std::vector<const RegisteredCase*> shard;
    for (std::size_t i = options.shardIndex; i < selected.size(); i += options.shardCount)
        shard.push_back(selected[i]);
    // The driver's sign that the program knows how to shard.
    if (const char* status = std::getenv("TEST_SHARD_STATUS_FILE"); status && *status != '\0')
        if (FILE* file = qe_fopen(status, "a"))
            std::fclose(file);
    return shard;
}

// The shard's cases in the order they run: shuffled when asked, by a
// generator of our own (splitmix64 and Fisher-Yates), so one seed gives one
// order on every platform; then the whole order repeated, as a repetition
// of the run.
std::vector<const RegisteredCase*> runOrder(std::vector<const RegisteredCase*> cases,
                                            const RunnerOptions& options) {
    if (options.shuffle) {
        std::uint64_t state = options.seed;
        const auto next = [&state] {
            std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            return z ^ (z >> 31);
        };
        for (std::size_t i = cases.size(); i > 1; --i)
            std::swap(cases[i - 1], cases[next() % i]);
    }
    std::vector<const RegisteredCase*> runs;
    runs.reserve(cases.size() * options.repeat);
    for (unsigned i = 0; i < options.repeat; ++i)
        runs.insert(runs.end(), cases.begin(), cases.end());
    return runs;
}

// The workers' capture files live here, for the run only.
struct TemporaryFolder {
    std::string path;
    TemporaryFolder(const std::string& program, bool wanted) {
        if (!wanted)
            return;
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        std::random_device random;
        for (int tries = 0; tries < 8 && path.empty(); ++tries) {
            const std::filesystem::path candidate =
                base / (program + "-workers-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate, error))
                path = candidate.string();
        }
    }
    ~TemporaryFolder() {
        std::error_code error;
        if (!path.empty())
            std::filesystem::remove_all(path, error);
    }
};

// -D names a folder the run writes into; one that is missing is refused
// before anything runs rather than made, so a mistyped name is seen.
bool isFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

// exit() before the summary (from a case, or code under test) must not read
// as a pass, whatever its status: the report and standard error say where
// the run was, and the process ends with status 1 at once, leaving its
// status file at "1" and the premature-exit file in place.
void endedBeforeSummary() {
    // Where the library's exit handlers also run on abort (a Windows DLL's
    // detach), an alarm or a crash keeps its own way of ending.
    if (inProgress.runner == nullptr || !platform::processEndingInOrder())
        return;
    std::string text = "the process ended";
    if (const RegisteredCase* running = runningCase.load(std::memory_order_acquire))
        text += " during case \"" + running->name + "\"";
    text += ", before the summary";
    ZKQETest* runner = inProgress.runner;
    inProgress.runner = nullptr;
    runner->print(text.c_str());
    std::fprintf(stderr, "%s: %s\n", inProgress.program.c_str(), text.c_str());
    std::fflush(nullptr);
    std::_Exit(1);
}

// Bazel's and others' sign of a run that ended early: present from the start
// of the run until its summary is out.
void markRunStarted(const std::string& program, ZKQETest& runner) {
    static const bool handlerSet = std::atexit(endedBeforeSummary) == 0;
    (void)handlerSet;
    inProgress.runner = &runner;
    inProgress.program = program;
    inProgress.prematureExitFile = std::getenv("TEST_PREMATURE_EXIT_FILE");
    if (inProgress.prematureExitFile != nullptr && inProgress.prematureExitFile[0] != '\0')
        if (FILE* file = qe_fopen(inProgress.prematureExitFile, "w"))
            std::fclose(file);
}

void markRunFinished() {
    inProgress.runner = nullptr;
    if (inProgress.prematureExitFile != nullptr && inProgress.prematureExitFile[0] != '\0')
        std::remove(inProgress.prematureExitFile);
}

// The alarm aborts without a word; a test driver's log should say why the
// run ended. An abort at or after the alarm's deadline is the alarm's: the
// note goes out without a lock or an allocation, as the alarm drains.
// The note is written after the alarm thread has started, so its length is
// published last (release) and read first (acquire) by the handler.
struct AlarmNote {
    std::chrono::steady_clock::time_point deadline;
    char text[96];
    std::atomic<std::size_t> length{0};
};
AlarmNote alarmNote;

// A literal's bytes without its terminating NUL, counted by the compiler.
template <std::size_t N> void writeFaultLiteral(const char (&text)[N]) {
    platform::writeFaultText(stderr, text, N - 1);
}

extern "C" void noteAlarmOnAbort(int) {
    const std::size_t length = alarmNote.length.load(std::memory_order_acquire);
    if (length == 0 || std::chrono::steady_clock::now() < alarmNote.deadline)
        return;
    killWorkersFromHandler();
    platform::writeFaultText(stderr, alarmNote.text, length);
    if (const RegisteredCase* running = runningCase.load(std::memory_order_acquire)) {
        writeFaultLiteral(" during case \"");
        platform::writeFaultText(stderr, running->name.c_str(), running->name.size());
        writeFaultLiteral("\"");
        JunitFiles::caseTimedOut(running->name.c_str());
    }
    writeFaultLiteral("\n");
}

void armAlarm(const std::string& program, unsigned seconds) {
    // Read before the alarm starts counting, less a margin for another
    // clock, so that the alarm's own abort is never taken for too early.
    const auto armedAt = std::chrono::steady_clock::now() - std::chrono::milliseconds(100);
    seconds = armAlarmNoLater(seconds);
    alarmNote.deadline = armedAt + std::chrono::seconds(seconds);
    const int length = std::snprintf(alarmNote.text, sizeof alarmNote.text,
                                     "%.60s: alarm after %u s", program.c_str(), seconds);
    alarmNote.length.store(length > 0 ? static_cast<std::size_t>(length) : 0,
                           std::memory_order_release);
    std::signal(SIGABRT, noteAlarmOnAbort);
}

// The alarm and crash guard as -L and -G arm them for every test: an alarm
// armed earlier is never lengthened.
void armSafetyNets(const std::string& program, const RunnerOptions& options) {
    if (options.alarmSeconds != 0)
        armAlarm(program, options.alarmSeconds);
    if (!options.crashTarget.empty())
        installCrashGuard(options.crashTarget.c_str());
}

} // namespace
} // namespace zkqe

int zktest::runCases(int argc, char** argv) {
    using namespace zkqe;
    const auto start = std::chrono::steady_clock::now();
    // A program that speaks another framework's macros reads its flags too.
    ForeignTranslation foreign;
    std::vector<char*> words(argv, argv + argc);
    if (spokenDialects() != 0) {
        foreign = translateForeignFlags({argv, argv + argc}, spokenDialects());
        words.clear();
        for (std::string& word : foreign.words)
            words.push_back(&word[0]);
    }
    RunnerOptions options = parseRunnerArguments(static_cast<int>(words.size()), words.data());
    if (!foreign.error.empty())
        options.error = foreign.error;
    const std::string name = programName(argc > 0 ? argv[0] : nullptr);
    if (options.error.empty())
        readTestEnvironment(options);
    if (options.error.empty() && options.shardIndexGiven &&
        options.shardIndex >= std::max(options.shardCount, 1u))
        options.error = "shard index " + std::to_string(options.shardIndex) +
                        " is not below the count of shards, " +
                        std::to_string(std::max(options.shardCount, 1u));
    if (!options.error.empty()) {
        std::fprintf(stderr, "%s: %s (--help lists the options)\n", name.c_str(),
                     options.error.c_str());
        return 2;
    }
    // Help asked for is no error: standard output, status 0.
    if (options.help) {
        std::printf(kUsage, name.c_str());
        return 0;
    }
    if (!options.outputDir.empty() && !isFolder(options.outputDir)) {
        std::fprintf(stderr, "%s: -D %s: no such folder (--help lists the options)\n", name.c_str(),
                     options.outputDir.c_str());
        return 2;
    }

    finishRegistrations();
    if (!options.deathChild.empty())
        return runDeathChild(name, options.deathChild);
    const std::vector<RegisteredCase>& all = registeredCases();
    if (reportDuplicateNames(name, all))
        return 2;
    if (options.listTests) {
        listTests(all);
        return 0;
    }
    const CaseFilter filter(options.filter);
    std::vector<const RegisteredCase*> selected;
    for (const RegisteredCase& registered : all)
        if (filter.selects(registered.name, registered.tags))
            selected.push_back(&registered);

    // A filter that selects nothing is as wrong in a listing as in a run.
    if ((options.list || options.listNames) && (!selected.empty() || !options.filterGiven)) {
        if (foreign.gtestListing)
            listCasesAsGtest(selected);
        else
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

    // A worker started again by name serves its parent and writes nothing of
    // the run's own: no TAP, no JUnit, no status beside the report.
    if (!options.workerChannel.empty()) {
        int tasks = -1, findings = -1;
        if (!platform::openWorkerChannel(options.workerChannel, &tasks, &findings)) {
            std::fprintf(stderr, "%s: %s%s: no pipes of a parent\n", name.c_str(),
                         platform::kWorkerFlag, options.workerChannel.c_str());
            return 2;
        }
        CaseRunner worker(name, options, runOrder(shardOf(selected, options), options));
        worker.serveFrom(tasks, findings);
        return worker.go();
    }

    // Opened before the run, so a name that cannot be written stops it
    // like a bad option.
    std::FILE* tap = nullptr;
    if (options.tap) {
        tap = options.tapFile.empty() ? stdout : qe_fopen(options.tapFile.c_str(), "w");
        if (tap == nullptr) {
            std::fprintf(stderr, "%s: --tap=%s: cannot write it\n", name.c_str(),
                         options.tapFile.c_str());
            return 2;
        }
    }
    armSafetyNets(name, options);
    // A shuffled run always says its seed, so that its order can be run again.
    if (options.shuffle && !options.seedGiven)
        options.seed = static_cast<unsigned>(std::random_device()());
    if (options.shuffle)
        std::fprintf(stderr, "%s: shuffled with --seed %u\n", name.c_str(), options.seed);
    const std::vector<const RegisteredCase*> shard = runOrder(shardOf(selected, options), options);
    CaseRunner runner(name, options, shard);
    runner.tap = tap;
    // Isolation, a timeout or retries need workers: one, unless more are asked.
    const TemporaryFolder workFolder(name, options.jobsGiven || options.isolate ||
                                               options.timeoutSeconds != 0 || options.retries != 0);
    if (!workFolder.path.empty()) {
        PoolSettings pool;
        pool.jobs = options.jobsGiven ? options.jobs : 1;
        if (pool.jobs == 0)
            pool.jobs = platform::usableCores();
        pool.isolate = options.isolate;
        pool.timeoutSeconds = options.timeoutSeconds;
        pool.folder = workFolder.path;
        // A worker started again by name selects the same cases in the same
        // order: the same words, and the seed this run drew.
        pool.relaunch.assign(words.begin(), words.end());
        if (options.shuffle)
            pool.relaunch.insert(pool.relaunch.end(), {"--seed", std::to_string(options.seed)});
        runner.usePool(pool, options.retries);
    }
    const bool planFirst = registeredHooks().empty();
    if (tap != nullptr)
        writeTapVersion(tap);
    if (tap != nullptr && planFirst)
        writeTapPlan(tap, shard.size());
    runner.maxFailures(static_cast<int>(options.maxFailures));
    const int checksBefore = ZKQESingletonAssertionCounter::getCount();
    const int failedBefore = ZKQESingletonAssertionFailedCounter::getCount();
    const JunitFiles junit(name, options);
    markRunStarted(name, runner);
    junit.start();
    startConsole();
    failureListener.store(&onFailure);
    const int failures = runner.go();
    failureListener.store(nullptr);
    sections.store(nullptr, std::memory_order_release);
    const int checks = ZKQESingletonAssertionCounter::getCount() - checksBefore;
    const int failed = ZKQESingletonAssertionFailedCounter::getCount() - failedBefore;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    consoleSummary(name,
                   {runner.casesPassed, runner.casesFailed, runner.casesSkipped, runner.casesFlaky,
                    checks - failed, failed, elapsed.count()},
                   runner.results);
    if (options.durations)
        consoleSlowest(runner.results, 10);
    const bool cutShort = runner.casesEnded < shard.size();
    if (tap != nullptr && cutShort)
        writeTapBailOut(tap, "the run ended at the failure limit, " +
                                 std::to_string(options.maxFailures));
    else if (tap != nullptr && !planFirst)
        writeTapPlan(tap, runner.tapPoints);
    if (tap != nullptr && tap != stdout)
        std::fclose(tap);
    const bool xmlWritten = junit.finish(runner.results, runner.reportPath());
    markRunFinished();
    // TAP on standard output is read by a harness that takes each case's
    // verdict from it and an exit status other than 0 as a broken program:
    // only a run cut short fails the process then.
    if (options.tap && options.tapFile.empty())
        return !cutShort && xmlWritten ? 0 : 1;
    // Any failure fails the process: go()'s count could read back as 0.
    return failures == 0 && failed == 0 && xmlWritten ? 0 : 1;
}

std::string zktest::tempDir() {
    const char* bazel = std::getenv("TEST_TMPDIR");
    if (bazel != nullptr && *bazel != '\0')
        return bazel;
    std::error_code error;
    return std::filesystem::temp_directory_path(error).string();
}
