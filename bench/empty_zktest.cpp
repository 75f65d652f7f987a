// SPDX-License-Identifier: MIT
// The smallest zktest program: one test object, an empty body, go()'s
// result as the exit status. bench/compare times whole runs of it (report
// and status file in a temporary directory given with -D) against the
// smallest GoogleTest program, empty_gtest.cpp.
#include "zktest.h"

namespace {

class EmptyTest : public ZKQETest {
public:
    EmptyTest() : ZKQETest("empty", "", ".", "empty.out") {}
    void runTest() override {}
};

} // namespace

int main(int argc, char** argv) {
    EmptyTest test;
    test.processDefaultArguments(argc, argv);
    return test.go();
}
