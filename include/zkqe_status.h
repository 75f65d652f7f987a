// SPDX-License-Identifier: MIT
// The status file: one character beside the first report file, "1" while the
// process runs and "0" once it has ended in order.
#ifndef ZKQE_STATUS_H
#define ZKQE_STATUS_H

#include "zkqe_export.h"

#include <cstdio>

class ZKQE_API ZKQESingletonFileObject {
public:
    // The one instance. The first call creates it from the report directory
    // (may be null) and file name and creates the status file holding "1";
    // later calls ignore their arguments.
    static ZKQESingletonFileObject& getZKQESingletonFileObject(const char* directory,
                                                               const char* fileName);
    // Writes "0" over the "1" and closes the file; runs at an orderly exit.
    ~ZKQESingletonFileObject();

    // The singleton owns the file; a copy would close it twice.
    ZKQESingletonFileObject(const ZKQESingletonFileObject&) = delete;
    ZKQESingletonFileObject& operator=(const ZKQESingletonFileObject&) = delete;

private:
    ZKQESingletonFileObject(const char* directory, const char* fileName);
    FILE* statusFile_;
};

#endif
