// SPDX-License-Identifier: MIT
// The link wraps malloc and free for this program (the library is linked in
// statically), so every block the library takes from the heap is counted
// here and one allocation can be made to fail.
#include "scenario.h"

#include <cstddef>
#include <cstdio>

extern "C" void* __real_malloc(std::size_t size);
extern "C" void __real_free(void* block);

namespace {

long outstanding = 0;
bool failNext = false;

} // namespace

extern "C" void* __wrap_malloc(std::size_t size) {
    void* block = failNext ? nullptr : __real_malloc(size);
    failNext = false;
    outstanding += block != nullptr ? 1 : 0;
    return block;
}

extern "C" void __wrap_free(void* block) {
    outstanding -= block != nullptr ? 1 : 0;
    __real_free(block);
}

// Copies of an object carry its settings (the assigned copy of a copy runs
// with them) and own their storage: nothing is left behind or freed twice
// once all three are gone. A string that cannot be copied stops the process.
SCENARIO(heap) {
    const long before = outstanding;
    {
        scenario::Probe source("copied", "remark", ".", "copied.out", false, 2, "cc", "mm", 1, 0.5);
        scenario::Probe copy(source), target;
        target = copy;
        target.body = [](scenario::Probe& t) {
            t.setRunTag("r");
            t.setFunctionTag("f");
            t.setStepTag("s");
            t.assertSmall("within the threshold", "h.cpp", 1, 0.25, "1");
            t.changeOutputFile("other.out");
            for (int line = 2; line < 5; ++line)
                t.assertTrue("fails", "h.cpp", line, false, nullptr);
        };
        target.go();
    }
    std::printf("blocks left: %ld\n", outstanding - before);
    std::fflush(stdout);
    scenario::Probe test;
    failNext = true;
    test.remark("no room");
    return 0;
}
