// SPDX-License-Identifier: MIT
// Must not compile: two values with no == between them. The first error
// names this file's check line, not a line inside zktest's headers.
#include <zktest_checks.h>

struct Meters {};
struct Seconds {};

void compareUnits() {
    ZKQE_CHECK(Meters{} == Seconds{}); // the line the error names
}
