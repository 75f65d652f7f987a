// SPDX-License-Identifier: MIT
// Death checks: the statement runs in a child process, and the parent's
// check judges the child's end. On POSIX the child is a fork; on Windows it
// is this program started again, which runs the same case and passes over
// its earlier death checks without a child of their own, so that the
// numbered check reached there is the parent's.
#include "cases/death_checks.h"

#include "internal/zktest_death_checks.h"
#include "internal/zktest_value_printer.h"
#include "zkqe_test.h"
#include "driver/running_test.h"
#include "driver/safety_nets.h"
#include "reports/failure_listener.h"
#include "platform/child_process.h"
#include "cases/case_registry.h"
#include "cases/section_tracker.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace zkqe {

namespace {

// The running case's place among the registered ones, and the death checks
// it has made; in a started child, the check whose statement it runs
// (0 in every other process).
std::size_t caseIndex = 0;
unsigned checksMade = 0;
unsigned childCheck = 0;

struct Statement {
    void (*run)(void*);
    void* statement;
};

// The child's test: what its checks find is no part of the parent's report
// (a forked child shares the parent's report file), so it writes nowhere.
class ChildTest : public ZKQETest {
public:
    explicit ChildTest(const std::string& program) : ZKQETest(program.c_str()) {
        primaryOutput = std::fopen(platform::kNullDevice, "w");
    }
    void runTest() override {}
};

// In the child. An exception that leaves the statement ends it as one that
// leaves main() ends a program, named on standard error as the runner names
// one that ends a case: the same text wherever it runs, whatever terminate
// handler is set (the crash guard's says nothing of the exception).
void runInChild(void* context) {
    const Statement& statement = *static_cast<const Statement*>(context);
    try {
        statement.run(statement.statement);
    } catch (...) {
        zktest::ValueText text;
        text.append("unexpected exception ");
        zktest::appendCurrentException(text);
        std::fprintf(stderr, "%s\n", text.c_str());
        std::abort();
    }
}

// A forked child's checks go to a test of its own. Made after the fork, in
// a child of a parent that may have other threads: the C library (glibc)
// makes its allocator and streams whole again in the child.
void runForked(void* context) {
    failureListener.store(nullptr);
    ChildTest test("");
    const RunningTestScope running(test);
    runInChild(context);
}

// What the child's end means to the check, or "" when it passed.
std::string judge(const zktest::DeathExpectation& expected, const platform::ChildEnd& end) {
    using Way = platform::ChildEnd::Way;
    switch (end.way) {
    case Way::failed:
        return "no child process: " + end.text;
    case Way::returned:
        return "it returned";
    case Way::exited:
        if (!expected.exits || end.status != expected.status)
            return "exited with " + std::to_string(end.status);
        break;
    case Way::died:
        if (expected.exits) {
            if (end.code != 0)
                return std::string("died of ") + exceptionName(end.code);
            if (end.aborted)
                return "died of Abort";
            return "died of signal " + std::to_string(end.signal);
        }
        break;
    }
    if (expected.pattern == nullptr || end.text.find(expected.pattern) != std::string::npos)
        return "";
    zktest::ValueText why;
    why.append("standard error did not contain ");
    zktest::appendCString(why, expected.pattern);
    why.append(": ");
    const std::size_t from = why.size();
    zktest::appendQuoted(why, end.text.data(), end.text.size());
    zktest::shortenFrom(why, from);
    return why.c_str();
}

} // namespace

void startDeathChecks(const RegisteredCase& registered) {
    caseIndex = static_cast<std::size_t>(&registered - registeredCases().data());
    checksMade = 0;
}

int runDeathChild(const std::string& program, const std::string& which) {
    unsigned long index = 0, check = 0;
    char rest = '\0';
    if (std::sscanf(which.c_str(), "%lu:%lu%c", &index, &check, &rest) != 2 ||
        index >= registeredCases().size() || check == 0) {
        std::fprintf(stderr, "%s: %s=%s: no death check\n", program.c_str(), kDeathChildFlag,
                     which.c_str());
        return 2;
    }
    platform::prepareStartedChild();
    platform::muteStandardStreams();
    childCheck = static_cast<unsigned>(check);
    const RegisteredCase& registered = registeredCases()[index];
    ChildTest test(program);
    const RunningTestScope running(test);
    SectionTracker tracker(test);
    setActiveSectionTracker(&tracker);
    tracker.startCase();
    startDeathChecks(registered);
    do {
        tracker.startRun();
        bool ended = false;
        try {
            runRegisteredCase(registered, test);
        } catch (...) {
            ended = true;
        }
        tracker.endRun(ended);
    } while (!tracker.caseFinished());
    setActiveSectionTracker(nullptr);
    platform::unmuteStandardStreams();
    std::fprintf(stderr, "%s: %s=%s: the case never reached that check\n", program.c_str(),
                 kDeathChildFlag, which.c_str());
    return 2;
}

} // namespace zkqe

zktest::Outcome zktest::deathOutcome(const DeathExpectation& expected, void (*run)(void*),
                                     void* statement) {
    using namespace zkqe;
    const unsigned check = ++checksMade;
    if (childCheck != 0) {
        if (check < childCheck)
            return {nullptr};
        platform::unmuteStandardStreams();
        Statement started{run, statement};
        runInChild(&started);
        platform::endChildReturned();
    }
    Statement forked{run, statement};
    const std::string argument = std::string(kDeathChildFlag) + "=" + std::to_string(caseIndex) +
                                 ":" + std::to_string(check);
    const platform::ChildEnd end = platform::runChild(&runForked, &forked, argument.c_str());
    const std::string why = judge(expected, end);
    if (why.empty())
        return {nullptr};
    const Outcome outcome = newFailure();
    outcome.failure->append(expected.kind);
    outcome.failure->append("(");
    outcome.failure->append(expected.arguments);
    outcome.failure->append("): ");
    outcome.failure->append(why.c_str(), why.size());
    return outcome;
}
