// SPDX-License-Identifier: MIT
// The status file singleton. Its name comes from the first report file the
// process names; it holds "1" from creation and "0" once the process ends in
// order. The finaliser is the function-local static's destructor, registered
// at first use and so run before the process-wide mutexes are destroyed.
#include "zkqe_status.h"

#include "zkqe_output.h"
#include "platform/platform.h"
#include "locks/process_mutexes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Joins directory and file name and gives the result the extension ".sta".
// The extension is looked for after the last separator only, so a dot in the
// directory part (such as ".") never swallows the file name.
void buildStatusName(char* name, const char* directory, const char* fileName) {
    const char separator = pathSeparator[0];
    name[0] = '\0';
    if (directory != nullptr && directory[0] != '\0') {
        std::strcpy(name, directory);
        const std::size_t length = std::strlen(name);
        if (name[length - 1] != separator) {
            name[length] = separator;
            name[length + 1] = '\0';
        }
    }
    std::strcat(name, fileName);

    char* dot = std::strrchr(name, '.');
    const char* lastSeparator = std::strrchr(name, separator);
    const char* lastSlash = std::strrchr(name, '/');
    if (lastSlash != nullptr && (lastSeparator == nullptr || lastSlash > lastSeparator))
        lastSeparator = lastSlash;
    if (dot != nullptr && (lastSeparator == nullptr || dot > lastSeparator))
        std::strcpy(dot, ".sta");
    else
        std::strcat(name, ".sta");
}

} // namespace

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
    const std::size_t directoryLength = directory != nullptr ? std::strlen(directory) : 0;
    char* name = static_cast<char*>(std::malloc(std::strlen(fileName) + directoryLength + 6));
    if (name == nullptr) {
        qe_fprintf(stderr, "*** ERROR: Could not alloc memory for filename string\n");
        return;
    }
    buildStatusName(name, directory, fileName);

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
    std::free(name);
    std::fputs("1", statusFile_);
    std::fflush(statusFile_);
}

ZKQESingletonFileObject::~ZKQESingletonFileObject() {
    // An abnormal end must leave the "1", also where the platform runs this
    // finaliser on such an end.
    if (statusFile_ == nullptr || !zkqe::platform::processEndingInOrder())
        return;
    std::rewind(statusFile_);
    std::fputs("0", statusFile_);
    if (statusFile_ != stdout && statusFile_ != stderr)
        std::fclose(statusFile_);
    else
        std::fflush(statusFile_);
    statusFile_ = nullptr;
}
