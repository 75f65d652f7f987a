// SPDX-License-Identifier: MIT
// A program of death checks: each way a child can end, judged by DEATH and
// EXIT, passing and failing; a pattern found (across a line end, which
// Windows writes as two characters) and one missing; a REQUIRE
// form that ends its case; checks in two sections and past an earlier
// check, which a child started again (Windows) must find by their number;
// and a parent with another thread.
#include <zktest_cases.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace {

void dereferenceNull() {
    volatile int* volatile pointer = nullptr;
    *pointer = 1;
}

void complainAndAbort() {
    std::fputs("boom: the ring is full", stderr);
    std::abort();
}

int quiet() {
    return 0;
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
    ZKQE_CHECK_EXIT(std::exit(3), 3);
    ZKQE_CHECK_EXIT(std::exit(1), 3);
    ZKQE_CHECK_DEATH(std::exit(3));
}

ZKTEST_CASE("a return is neither") {
    ZKQE_CHECK_DEATH(quiet());
    ZKQE_CHECK_EXIT(quiet(), 0);
}

ZKTEST_CASE("standard error holds the pattern") {
    ZKQE_CHECK_DEATH(complainAndAbort(), "ring is full");
    ZKQE_CHECK_DEATH(complainAndAbort(), "ring is empty");
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
    ZKQE_CHECK_EXIT(std::exit(4), 4);
    ZKTEST_SECTION("first") {
        ZKQE_CHECK_EXIT(std::exit(5), 5);
    }
    ZKTEST_SECTION("second") {
        ZKQE_CHECK_EXIT(std::exit(6), 7);
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
