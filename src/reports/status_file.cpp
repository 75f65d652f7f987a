// SPDX-License-Identifier: MIT
// The status file singleton. Its name comes from the first report file the
// process names; it holds "1" from creation and "0" once the process ends in
// order. The finaliser is the function-local static's destructor, registered
// at first use and so run before the process-wide mutexes are destroyed.
#include "zkqe_status.h"

#include "zkqe_output.h"
#include "platform/platform.h"
#include "locks/process_mutexes.h"
#include "reports/report_access.h"
#include "reports/report_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// A status file that reads neither "1" nor "0" (a full disk) misleads
// whoever schedules the run: it is said on standard error.
void warnIfNotWritten(FILE* status, const char* name) {
    errno = 0;
    if (std::fflush(status) == 0 && std::ferror(status) == 0)
        return;
    const int failedErrno = errno;
    if (name != nullptr)
        qe_fprintf(stderr, "*** WARNING: Status file %s could not be written: %s\n", name,
                   std::strerror(failedErrno));
    else
        qe_fprintf(stderr, "*** WARNING: Status file could not be written at the end: %s\n",
                   std::strerror(failedErrno));
}

bool statusLeftToParent = false;

} // namespace

void zkqe::leaveStatusFileToParent() {
    statusLeftToParent = true;
}

ZKQESingletonFileObject& ZKQESingletonFileObject::getZKQESingletonFileObject(const char* directory,
                                                                             const char* fileName) {
    static ZKQESingletonFileObject instance(directory, fileName);
    return instance;
}

ZKQESingletonFileObject::ZKQESingletonFileObject(const char* directory, const char* fileName)
    : statusFile_(nullptr) {
    if (fileName == nullptr || fileName[0] == '\0') {
        qe_fprintf(stderr, "*** ERROR: No file name specified\n");
        return;
    }
    // Named by the report's own path rule, so it lands beside the report.
    char* name = zkqe::statusPathFor(directory, fileName);
    if (name == nullptr) {
        qe_fprintf(stderr, "*** ERROR: Could not alloc memory for filename string\n");
        return;
    }

    // A standard descriptor closed at start must not become the status file.
    zkqe::platform::ensureStandardDescriptors();
    zkqe::statusFileMutex.acquire();
    statusFile_ = qe_fopen(name, "w");
    if (statusFile_ == nullptr) {
        const int openErrno = errno;
        qe_fprintf(stderr, "*** WARNING: Status file was not created (errno=%d)\n", openErrno);
        errno = openErrno;
        std::perror("*** perror() reports");
        zkqe::statusFileMutex.release();
        std::free(name);
        return;
    }
    zkqe::statusFileMutex.release();
    std::fputs("1", statusFile_);
    warnIfNotWritten(statusFile_, name);
    std::free(name);
}

ZKQESingletonFileObject::~ZKQESingletonFileObject() {
    // An abnormal end must leave the "1", also where the platform runs this
    // finaliser on such an end.
    if (statusFile_ == nullptr || statusLeftToParent || !zkqe::platform::processEndingInOrder())
        return;
    std::rewind(statusFile_);
    std::fputs("0", statusFile_);
    warnIfNotWritten(statusFile_, nullptr);
    if (statusFile_ != stdout && statusFile_ != stderr)
        std::fclose(statusFile_);
    statusFile_ = nullptr;
}
