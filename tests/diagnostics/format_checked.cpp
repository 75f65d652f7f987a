// SPDX-License-Identifier: MIT
// A number's format given a text: diagnosed at the call, as printf's would be.
#include <zkqe_output.h>

void writeCount() {
    qe_fprintf(stderr, "%d cases\n", "three"); // the line the error names
}
