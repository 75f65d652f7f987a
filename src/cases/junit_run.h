// SPDX-License-Identifier: MIT
// The case runner's JUnit files (--junit FILE, and XML_OUTPUT_FILE from a
// test driver; both when both are given). Never a false pass: the files are
// written at the run's start already saying that the run did not finish,
// and rewritten whole at its end, so a crash, the alarm or an exit() leaves
// a failing file behind, never an earlier run's passing one.
#ifndef ZKQE_CASES_JUNIT_RUN_H
#define ZKQE_CASES_JUNIT_RUN_H

#include "cases/case_filter.h"
#include "cases/case_results.h"
#include "cases/runner_options.h"

#include <ctime>
#include <string>
#include <vector>

namespace zkqe {

class JunitFiles {
public:
    // After the environment has had its say on the filter and the shard.
    JunitFiles(const std::string& program, const RunnerOptions& options);

    // Each returns false, having said so on standard error, when a file
    // could not be written; with no file asked for they do nothing.
    bool start() const;
    // `results` in the order the cases ran; `report` the run's report file,
    // the owner of each case's lines.
    bool finish(std::vector<CaseResult> results, const std::string& report) const;
    // From the alarm's abort handler, once its deadline has passed: the
    // files rewritten to name the case the alarm ended, from a text that
    // start() prepared, with no lock and no allocation. Nothing before
    // start() or once finish() has begun.
    static void caseTimedOut(const char* name);

private:
    bool write(const std::string& text) const;

    std::string program_;
    std::vector<std::string> paths_;
    CaseFilter filter_;
    bool firstShard_;
    std::string host_;
    std::time_t started_;
};

} // namespace zkqe

#endif
