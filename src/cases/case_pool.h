// SPDX-License-Identifier: MIT
// Cases run in worker processes: the parent hands each worker one case at a
// time and takes what every case found in the run's order, whatever order
// the workers finish in, so the run's report is the same bytes for any
// number of workers. A worker that crashes, aborts, exits or runs past the
// timeout is ended and replaced; its case is taken as failed, with the
// report lines it wrote before. With isolation, where a process can be
// copied, each case runs in a copy of a worker that runs none, and the
// copy's end is the case's; elsewhere each case gets a worker of its own.
//
// Ownership: the parent alone writes the run's report, its status file and
// the other outputs; a worker writes its case's report lines into a capture
// file of its own, which the parent reads back.
#ifndef ZKQE_CASES_CASE_POOL_H
#define ZKQE_CASES_CASE_POOL_H

#include "cases/case_results.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zkqe {

// What one run of a case found.
struct CaseFinding {
    enum class Verdict { passed, failed, skipped };
    Verdict verdict = Verdict::passed;
    CaseResult result;
    int assertions = 0;       // counted in the worker, failed ones included
    int failedAssertions = 0; // what the report's blocks say
    std::string report;       // the bytes the case wrote in the report
    // Set by the parent when the worker ended during the case: what ended
    // it, as the case's last failure.
    std::string death;
    FailureKind deathKind = FailureKind::crash;
    unsigned attempt = 0; // 0 for the first run, then one more each retry
};

class CasePoolClient {
public:
    virtual ~CasePoolClient() = default;
    // In a new worker, before its first case: its report goes to `capture`.
    virtual void becomeWorker(const std::string& capture) = 0;
    // In a worker: runs the case at `position` of the run's order.
    virtual CaseFinding runInWorker(std::size_t position) = 0;
    // In the parent, in the run's order. Returns false to run the case
    // again (a retry); may throw to end the run.
    virtual bool takeFinding(std::size_t position, CaseFinding& finding) = 0;
    // In the parent: the run's order now waits for the case at `position`,
    // the one an alarm names.
    virtual void awaiting(std::size_t position) = 0;
};

struct PoolSettings {
    unsigned jobs = 1;
    bool isolate = false;
    unsigned timeoutSeconds = 0;
    std::string folder; // where the capture files go; the parent removes them
    // Where a worker is the program started again: its path and the words
    // that select and order the same cases; the pool adds "-O" and the
    // worker's capture file.
    std::vector<std::string> relaunch;
};

// Runs positions 0 to count-1. False, having run nothing, when no worker can
// be started on this system.
bool runInWorkers(CasePoolClient& client, std::size_t count, const PoolSettings& settings);

// A worker started again by name: serves the tasks of `tasks` until its end,
// its report lines in `capture`. Returns its exit status.
int serveTasks(CasePoolClient& client, int tasks, int findings, const std::string& capture);

// For the alarm's abort handler: ends every worker with the parent.
// Async-signal-safe.
void killWorkersFromHandler();

} // namespace zkqe

#endif
