// SPDX-License-Identifier: MIT
// The run driver: the command-line flags and go(), the spine of a test run.
//
// go() writes its header before the body, and its end lines and summary
// after it under the object's mutex: threads the body started and did not
// join may still be writing. The report is opened and closed by the report
// operations of src/reports/report_output.cpp.
// The alarm and crash guard armed by the flags are process-wide and stay in
// force after go() returns.
#include "zkqe_test.h"

#include "internal/zktest_require_abort.h"
#include "zkqe_output.h"
#include "zkqe_status.h"
#include "diagnostics/diagnostics.h"
#include "driver/running_test.h"
#include "driver/safety_nets.h"
#include "reports/report_layout.h"
#include "reports/report_files.h"
#include "reports/report_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A flag's argument is read into this many bytes, at most kFlagArgumentLimit
// characters of it.
constexpr int kFlagArgumentBufferSize = 256;
constexpr int kFlagArgumentLimit = 254;

enum class RunEnd { normal, maxFailures, exception };

} // namespace

bool ZKQETest::processDefaultArguments(int argc, char** const argv) {
    commandLineOptions.buildCommandLine(argc, argv);
    processFlaggedArgs();
    return true;
}

void ZKQETest::processFlaggedArgs() {
    const char* line = commandLineOptions.cmdLine();
    if (line == nullptr || line[0] == '\0')
        return;

    char argument[kFlagArgumentBufferSize];
    if (commandLineOptions.getArgumentString('O', argument, kFlagArgumentLimit))
        replaceString_(outputFile_, argument);
    if (commandLineOptions.getArgumentString('D', argument, kFlagArgumentLimit))
        replaceString_(outputDir_, argument);
    if (commandLineOptions.getArgumentString('M', argument, kFlagArgumentLimit))
        replaceString_(machineId_, argument);
    if (commandLineOptions.getArgumentString('C', argument, kFlagArgumentLimit))
        replaceString_(compilerId_, argument);

    if (commandLineOptions.getArgumentString('L', argument, kFlagArgumentLimit)) {
        unsigned seconds = 0;
        if (std::sscanf(argument, "%u", &seconds) == 1 && seconds != 0) {
            zkqe::armAlarmNoLater(seconds);
        } else {
            qe_fprintf(stderr, "-L %s: no alarm set\n", argument);
        }
    }

    if (commandLineOptions.getArgumentString('G', argument, kFlagArgumentLimit))
        zkqe::installCrashGuard(argument);

    if (std::strstr(line, "-A") != nullptr)
        appendStatus_ = 1;
}

int ZKQETest::go() {
    lastAssertionFailed_.store(false, std::memory_order_relaxed);
    detectedErrors_ = 0;
    const unsigned failedWritesBefore = zkqe::failedReportWriteCount();
    openRunReport_();
    zkqe::writeHeader(primaryOutput, zkqe::HeaderKind::run,
                      {testTag_, compilerId_, machineId_, remark_});

    RunEnd end = RunEnd::normal;
    try {
        const zkqe::RunningTestScope running(*this);
        runTest();
    } catch (const tooManyFailures&) {
        end = RunEnd::maxFailures;
    } catch (const zktest::RequireAbort&) {
        // A fatal check ended the body; its failure is in the report.
    } catch (...) {
        end = RunEnd::exception;
    }

    // Threads the body left running may still write: the end lines and the
    // summary go out under the mutex like every other writer's.
    mutex->acquire();
    prepareForFilePtrOutput();
    handOverStreamPieces_();
    if (end == RunEnd::maxFailures)
        zkqe::writeEndLine(primaryOutput, zkqe::layout::kMaxFailuresEnd, detectedErrors_);
    else if (end == RunEnd::exception)
        zkqe::writeEndLine(primaryOutput, zkqe::layout::kExceptionEnd, detectedErrors_);
    zkqe::writeSummary(primaryOutput, ZKQESingletonAssertionCounter::getCount(),
                       ZKQESingletonAssertionFailedCounter::getCount());
    // Whether the report is a standard stream is decided on the file open
    // now: the body may have moved the report to another file.
    finishReport_();
    mutex->release();
    // A report that lost lines is never taken for a pass by whoever reads
    // standard error; the run's result stays what the body made it.
    if (zkqe::failedReportWriteCount() != failedWritesBefore)
        zkqe::warnReportNotWhole(fullOutputFileName);

    if (end == RunEnd::exception) {
        zkqe::writeUnexpectedException();
        std::exit(1);
    }
    return detectedErrors_;
}
