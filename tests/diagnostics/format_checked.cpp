// SPDX-License-Identifier: MIT
// Must not compile under -Werror=format: a number's format given a text.
#include <zkqe_output.h>

void writeCount() {
    qe_fprintf(stderr, "%d cases\n", "three"); // the line the error names
}
