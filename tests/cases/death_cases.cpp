// SPDX-License-Identifier: MIT
// A program of death checks: each way a child can end, judged by DEATH and
// EXIT, passing and failing; a pattern found (across a line end, which
// Windows writes as two characters) and one missing; a REQUIRE
// form that ends its case; checks in two sections and past an earlier
// check, which a child started again (Windows) must find by their number;
// and a parent with another thread.
#include <zktest_cases.h>

#include "open_descriptors.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace {

void dereferenceNull() {
    volatile int* volatile pointer = nullptr;
    *pointer = 1;
}

// A line too long to quote whole in a failure.
void complain() {
    std::fputs("boom: the ring is full; slots taken:", stderr);
    for (int slot = 0; slot < 64; ++slot)
        std::fprintf(stderr, " %d", slot);
}

void complainAndAbort() {
    complain();
    std::abort();
}

void complainAndExit() {
    complain();
    std::exit(2);
}

// What a child writes to standard output before it ends is not lost.
int quiet() {
    std::puts("quiet");
    return 0;
}

void failAndAbort() {
    ZKQE_CHECK_EQ(1, 2);
    std::abort();
}

void leave(int status) {
    std::printf("leaving with %d\n", status);
    std::exit(status);
}

} // namespace

ZKTEST_CASE("a null dereference is a death") {
    ZKQE_CHECK_DEATH(dereferenceNull());
    ZKQE_CHECK_EXIT(dereferenceNull(), 0);
}

ZKTEST_CASE("abort is a death") {
    ZKQE_CHECK_DEATH(std::abort());
    ZKQE_CHECK_EXIT(std::abort(), 3);
}

ZKTEST_CASE("an escaped exception is a death") {
    ZKQE_CHECK_DEATH(throw std::runtime_error("no room left"), "no room left");
}

ZKTEST_CASE("exit(3) is an exit") {
    ZKQE_CHECK_EXIT(leave(3), 3);
    ZKQE_CHECK_EXIT(leave(1), 3);
    ZKQE_CHECK_DEATH(leave(3));
}

ZKTEST_CASE("a return is neither") {
    ZKQE_CHECK_DEATH(quiet());
    ZKQE_CHECK_EXIT(quiet(), 0);
}

ZKTEST_CASE("standard error holds the pattern") {
    ZKQE_CHECK_DEATH(complainAndAbort(), "ring is full");
    ZKQE_CHECK_EXIT(complainAndExit(), 2, "ring is empty");
    ZKQE_CHECK_EXIT(
        {
            std::fputs("two\nlines\n", stderr);
            std::exit(2);
        },
        2, "two\nlines");
}

ZKTEST_CASE("REQUIRE_DEATH ends the case") {
    ZKQE_REQUIRE_DEATH(quiet());
    ZKQE_CHECK(!"not reached");
}

ZKTEST_CASE("checks are found by their number") {
    std::puts("once per run");
    std::fputs("once per run\n", stderr);
    ZKQE_CHECK_EXIT(std::exit(4), 4);
    ZKTEST_SECTION("first") {
        ZKQE_CHECK_EXIT(std::exit(5), 5);
        throw std::runtime_error("the first section ends here");
    }
    // Runs ended by the end of a section, not by an exception, run on too.
    ZKTEST_SECTION("second") {
        ZKQE_CHECK_EXIT(std::exit(6), 6);
    }
    ZKTEST_SECTION("third") {
        ZKQE_CHECK_EXIT(std::exit(7), 8);
    }
}

// Another thread keeps the C library's locks busy while the parent forks.
// The child dies rather than exits: a memory checker takes what that thread
// held for lost in a child that exits.
ZKTEST_CASE("a parent with another thread") {
    std::thread opener([] {
        for (int i = 0; i < 2000; ++i)
            if (std::FILE* file = std::fopen("no such file", "r"))
                std::fclose(file);
    });
    ZKQE_CHECK_DEATH(complainAndAbort(), "ring is full");
    opener.join();
}

// A check the statement fails is the child's: none of the parent's outputs
// shows it.
ZKTEST_CASE("the child's checks are its own") {
    ZKQE_CHECK_DEATH(failAndAbort());
}

// Whether the child ran or none could start, its pipes are closed.
ZKTEST_CASE("a death check leaves no descriptor open") {
    const int openBefore = openDescriptors();
    ZKQE_CHECK_DEATH(std::abort());
    ZKQE_CHECK_EQ(openDescriptors(), openBefore);
}
