// SPDX-License-Identifier: MIT
// The lowest file descriptor free now, as the next file opened gets: a
// descriptor left open shows as a higher number than before.
#ifndef ZKTEST_TESTS_LOWEST_DESCRIPTOR_H
#define ZKTEST_TESTS_LOWEST_DESCRIPTOR_H

#include <cstdio>

inline int lowestFreeDescriptor() {
    std::FILE* probe = std::fopen("probe", "w");
    const int descriptor = fileno(probe);
    std::fclose(probe);
    std::remove("probe");
    return descriptor;
}

#endif
