// SPDX-License-Identifier: MIT
// Internal seams of the memory-statistics facility, shared by its sources and
// reached by white-box tests; nothing here is exported.
#ifndef ZKQE_MEMSTATS_MEMSTATS_INTERNAL_H
#define ZKQE_MEMSTATS_MEMSTATS_INTERNAL_H

#include "zkmemstats.h"

#include <cstdint>

namespace zkqe {

// Rows of the error-name table: row 0 names "no error", row k names bit k-1.
constexpr int kErrorNameRows = 33;
constexpr int kErrorNameSize = 64;
extern const char errorNames[kErrorNameRows][kErrorNameSize];

// The name of an error value: row 0 for 0, otherwise the row of its highest
// set bit. Only the low 32 bits carry errors.
const char* errorName(unsigned long value);

// The library's two loggers, constructed on the first call and never
// destroyed.
ZKStatsLoggerInterface* theDisabledLogger();
ZKStatsLoggerInterface* theEnabledLogger();

// The option callbacks that apply ZKMEMSTATS's "-log" and "-error" options to
// the instance; each returns its context.
void* logOptionHandler(char*** cursor, void* context);
void* errorOptionHandler(char*** cursor, void* context);

} // namespace zkqe

#endif
