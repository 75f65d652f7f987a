// SPDX-License-Identifier: MIT
// The pool of workers on its own, with a client that writes one line a case
// and aborts in one of them: what each case is handed back is its own lines,
// whatever its worker went on to do before the parent looked.
#include "cases/case_pool.h"
#include "platform/worker_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

// Runs `count` cases of `client` on two workers, their capture files in a
// folder of the working directory. Where a worker is the program started
// again, the client here could not be.
void runOnTwo(zkqe::CasePoolClient& client, std::size_t count, bool isolate) {
    if (!zkqe::platform::processesCanBeCopied())
        GTEST_SKIP() << "workers here are the program started again";
    const std::filesystem::path folder = std::filesystem::current_path() / "pool";
    std::filesystem::create_directories(folder);
    zkqe::PoolSettings settings;
    settings.jobs = 2;
    settings.isolate = isolate;
    settings.folder = folder.string();
    ASSERT_TRUE(zkqe::runInWorkers(client, count, settings));
    std::filesystem::remove_all(folder);
}

constexpr std::size_t kCases = 8;
constexpr std::size_t kAborts = 3;

// Two workers, two cases deep: the first holds 0 and 1, the second 2 and 3,
// and takes 4 once 2 has ended. Case 0 ends late and its taking is slow; in
// that time case 3 aborts and its worker runs case 4, in the same capture
// file, before the parent reads of the abort.
class LineClient : public zkqe::CasePoolClient {
public:
    void becomeWorker(const std::string& capture) override {
        capture_ = std::fopen(capture.c_str(), "w");
    }
    zkqe::CaseFinding runInWorker(std::size_t position) override {
        std::fprintf(capture_, "lines of case %zu\n", position);
        std::fflush(capture_);
        if (position == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (position == kAborts) {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            std::abort();
        }
        zkqe::CaseFinding finding;
        finding.result.name = "case " + std::to_string(position);
        return finding;
    }
    bool takeFinding(std::size_t position, zkqe::CaseFinding& finding) override {
        if (position == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
        reports[position] = finding.report;
        deaths[position] = finding.death;
        return true;
    }
    void awaiting(std::size_t) override {}

    std::vector<std::string> reports = std::vector<std::string>(kCases);
    std::vector<std::string> deaths = std::vector<std::string>(kCases);

private:
    std::FILE* capture_ = nullptr;
};

TEST(CasePool, IsolatedCaseThatAbortsKeepsItsOwnLinesOnly) {
    LineClient client;
    runOnTwo(client, kCases, true);
    if (IsSkipped() || HasFatalFailure())
        return;
    for (std::size_t i = 0; i < kCases; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(client.reports[i], "lines of case " + std::to_string(i) + "\n");
        EXPECT_EQ(client.deaths[i], i == kAborts ? "crash: abort" : "");
    }
}

// Three cases on two workers, the first slow: the third goes to the worker
// that is free, not behind the slow one. Each case says whose capture file
// its worker writes, which names the worker.
class WhoRanClient : public zkqe::CasePoolClient {
public:
    void becomeWorker(const std::string& capture) override { capture_ = capture; }
    zkqe::CaseFinding runInWorker(std::size_t position) override {
        if (position == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        zkqe::CaseFinding finding;
        finding.result.name = capture_;
        return finding;
    }
    bool takeFinding(std::size_t position, zkqe::CaseFinding& finding) override {
        workers[position] = finding.result.name;
        return true;
    }
    void awaiting(std::size_t) override {}

    std::vector<std::string> workers = std::vector<std::string>(3);

private:
    std::string capture_;
};

TEST(CasePool, NoCaseWaitsBehindASlowOneWhileAWorkerIsFree) {
    for (const bool isolate : {false, true}) {
        SCOPED_TRACE(isolate ? "isolated" : "shared");
        WhoRanClient client;
        runOnTwo(client, 3, isolate);
        if (IsSkipped() || HasFatalFailure())
            return;
        EXPECT_NE(client.workers[0], client.workers[1]);
        EXPECT_NE(client.workers[0], client.workers[2]);
    }
}

} // namespace
