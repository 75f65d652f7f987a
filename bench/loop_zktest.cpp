// SPDX-License-Identifier: MIT
// The assertion loop with zktest: N passing assertTrue calls inside one test
// body, as a test program writes them. The report goes where the flags say
// (-D <dir>), by default into the working directory.
//
// With --threaded the program first starts and joins one thread, as a test
// of threaded code does: from then on the library counts with atomic
// instructions, and the line names the framework "zktest-threaded".
#include "assertion_loop.h"

#include "zktest.h"

#include <cstring>
#include <thread>

namespace {

class LoopTest : public ZKQETest {
public:
    LoopTest(const char* name, long count)
        : ZKQETest("assertion loop", "", ".", "loop_zktest.out"), name_(name), count_(count) {}

    void runTest() override {
        assertion_loop::timeLoop(name_, count_, [this](long count) {
            for (long i = 0; i < count; ++i)
                assertTrue("passes", __FILE__, __LINE__, assertion_loop::opaqueTrue(), "1");
        });
    }

private:
    const char* name_;
    long count_;
};

// Removes --threaded from the arguments; true when it was there.
bool takeThreaded(int& argc, char** argv) {
    bool threaded = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--threaded") == 0)
            threaded = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return threaded;
}

} // namespace

int main(int argc, char** argv) {
    const long count = assertion_loop::takeCount(argc, argv);
    const bool threaded = takeThreaded(argc, argv);
    if (threaded)
        std::thread([] {}).join();
    LoopTest test(threaded ? "zktest-threaded" : "zktest", count);
    test.processDefaultArguments(argc, argv);
    return test.go();
}
