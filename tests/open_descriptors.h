// SPDX-License-Identifier: MIT
// How many file descriptors the process has open: a descriptor left open
// shows as one more than before, whichever its number.
#ifndef ZKTEST_TESTS_OPEN_DESCRIPTORS_H
#define ZKTEST_TESTS_OPEN_DESCRIPTORS_H

#include <sys/stat.h>

inline int openDescriptors() {
    int open = 0;
    for (int fd = 0; fd < 1024; ++fd) {
        struct stat status;
        if (fstat(fd, &status) == 0)
            ++open;
    }
    return open;
}

#endif
