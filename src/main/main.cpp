// SPDX-License-Identifier: MIT
// main() for a program of cases: link zktest::main and write only cases.
#include "zktest_cases.h"

int main(int argc, char** argv) {
    return zktest::runCases(argc, argv);
}
