// SPDX-License-Identifier: MIT
// Whole runs of programs linked with the checked allocator: the misuse a test
// author plants and what the counters, handlers and log make of it; the
// failure loop finding a leak and, under the crash guard, a missing null
// check.
#include "scenario.h"

#include <zkmemcheck.h>
#include <zkmemstats.h>

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

namespace {

template <class T> T* hide(T* p) {
    T* volatile hidden = p;
    return hidden;
}

int printHandlerCall(ZKMemStats::ReportableErrors error, const char* text) {
    std::printf("handler: %u %s\n", static_cast<unsigned>(error), text);
    return 0;
}

// Says what the counters hold, every line of them.
void printCounters(ZKMemStats* stats) {
    char text[1024];
    stats->formatStats(text, sizeof text, 0xfff);
    std::fputs(text, stdout);
}

} // namespace

SCENARIO(misuse) {
    ZKMemStats* stats = ZKMemStats::instance();
    stats->reset();
    stats->setErrorHandler(0xffffffffUL, printHandlerCall);
    hide(new int(7));                     // never deleted
    char* overrun = hide(new char[16]()); // zeroed: its dump is pinned
    overrun[16] = '!';
    delete[] overrun;
    int* array = hide(new int[4]);
    delete hide(array); // the scalar form for an array block
    double* twice = hide(new double(1));
    delete twice;
    delete hide(twice);
    static int notFromTheHeap;
    delete hide(&notFromTheHeap);
    printCounters(stats);
    stats->reset();
    std::printf("after a reset:\n");
    printCounters(stats);
    return 0;
}

namespace {

struct Pair {
    int* first;
    int* second;
};

// Leaks its first block when the second allocation fails.
Pair makePair() {
    int* first = hide(new int(1));
    int* second = hide(new int(2));
    return {first, second};
}

struct Node {
    int value;
    Node* next;
};

// The null check on the nothrow allocation is missing. Not inlined, so
// that its stores are not folded into the caller's reads.
[[gnu::noinline]] Node* push(Node* head, int value) {
    Node* node = hide(new (std::nothrow) Node);
    node->value = value;
    node->next = head;
    return node;
}

// Turns running out of memory into an error of its own, which the loop
// reports as a foreign exception.
[[gnu::noinline]] int* makeBuffer() {
    try {
        return hide(new int[8]);
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("no buffer");
    }
}

} // namespace

// argv[2]: "leak", "foreign" or "null".
SCENARIO(failure_loop) {
    scenario::Probe test("failure loop", "", ".", "loop.out");
    test.processDefaultArguments(argc - 2, argv + 2);
    const std::string code = argv[2];
    test.body = [code](scenario::Probe& t) {
        t.setFunctionTag(code == "leak" ? "makePair" : code == "foreign" ? "makeBuffer" : "push");
        const long runs = ZKMemCheck::failEachAllocation(
            t,
            [code] {
                if (code == "leak") {
                    const Pair pair = makePair();
                    delete pair.first;
                    delete pair.second;
                } else if (code == "foreign") {
                    delete[] makeBuffer();
                } else {
                    Node* list = push(push(nullptr, 1), 2);
                    std::printf("sum %d\n", list->value + list->next->value);
                    delete list->next;
                    delete list;
                }
            },
            __FILE__, __LINE__); // __FILE__: the build shortens it for the golden
        std::printf("runs: %ld\n", runs);
    };
    return test.go();
}

// A block deleted twice with a new block allocated between the deletes: the
// second delete is the one reported, and the new owner's block stays its
// own (the heap could hand the new block the freed address).
SCENARIO(reused) {
    ZKMemStats* stats = ZKMemStats::instance();
    stats->reset();
    stats->setErrorHandler(0xffffffffUL, printHandlerCall);
    int* first = hide(new int(1));
    delete first;
    int* second = hide(new int(2));
    std::printf("second has first's address: %d\n", second == first);
    std::printf("second delete of first\n");
    delete hide(first);
    std::printf("second's own delete\n");
    delete second;
    printCounters(stats);
    return 0;
}
