// SPDX-License-Identifier: MIT
// The run driver: the command-line flags and go(), the spine of a test run.
//
// go() writes its header, end lines and summary without the object's mutex:
// it runs on the test program's thread, before and after the body. The
// assertions and report writers the body calls take the mutex themselves.
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
            // An alarm armed earlier is never lengthened: the sooner deadline
            // wins, counted again from now.
            const unsigned remainder = zkqe::setAlarm(seconds);
            if (remainder != 0 && remainder < seconds)
                zkqe::setAlarm(remainder);
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

    prepareForFilePtrOutput();
    if (end == RunEnd::maxFailures)
        zkqe::writeEndLine(primaryOutput, zkqe::layout::kMaxFailuresEnd, detectedErrors_);
    else if (end == RunEnd::exception)
        zkqe::writeEndLine(primaryOutput, zkqe::layout::kExceptionEnd, detectedErrors_);
    zkqe::writeSummary(primaryOutput, ZKQESingletonAssertionCounter::getCount(),
                       ZKQESingletonAssertionFailedCounter::getCount());
    // Whether the report is a standard stream is decided on the file open
    // now: the body may have moved the report to another file. The stream
    // lets go of the FILE it borrows first.
    outputStream.close();
    zkqe::closeReportFile(primaryOutput);
    primaryOutput = nullptr;
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

void ZKQETest::openRunReport_() {
    // A report left open since an earlier run (a print after that go()) is
    // finished first, so its lines land before the new run's.
    closePrimaryOutput();

    const char separator = pathSeparator[0];
    const char* file = outputFile_ != nullptr ? outputFile_ : "";

    // A file name that is itself a path is used unchanged, and the directory
    // is dropped for the rest of the object's life.
    if (outputDir_ != nullptr && outputDir_[0] != '\0' &&
        (file[0] == '/' || std::strchr(file, separator) != nullptr))
        outputDir_[0] = '\0';

    // The status file goes beside the report. The prefix ends in the
    // separator; the directory keeps its '/'.
    std::size_t prefixLength = 0;
    char* path = zkqe::joinReportPath(outputDir_, file, true, &prefixLength);
    const char afterPrefix = path[prefixLength];
    path[prefixLength] = '\0';
    ZKQESingletonFileObject::getZKQESingletonFileObject(path, file);
    path[prefixLength] = afterPrefix;

    replaceString_(fullOutputFileName, path);
    std::free(path);

    primaryOutput = zkqe::openReportFile(fullOutputFileName, appendStatus_ != 0 ? "a" : "w");
    if (primaryOutput == nullptr)
        zkqe::reportOpenFailed(fullOutputFileName, errno);
}
