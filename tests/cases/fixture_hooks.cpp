// SPDX-License-Identifier: MIT
// A fixture's setUp() and tearDown() around each run of its body: standard
// output shows which ran, and in which order.
#include <zktest_cases.h>

#include <cstdio>

namespace {

struct Tracing {
    Tracing() { std::puts("built"); }
    ~Tracing() { std::puts("destroyed"); }
    void setUp() { std::printf("set up in %s\n", ZKQE_CHECK(built) ? "order" : "disorder"); }
    void tearDown() { std::puts("torn down"); }
    bool built = true;
};

struct RefusingSetUp {
    void setUp() { ZKQE_REQUIRE(ready); }
    void tearDown() { std::puts("refused fixture torn down"); }
    bool ready = false;
};

} // namespace

ZKTEST_CASE_FIXTURE(Tracing, "each leaf between setUp and tearDown") {
    ZKTEST_SECTION("first") {
        std::puts("first");
    }
    ZKTEST_SECTION("second") {
        std::puts("second");
        ZKQE_REQUIRE(!built); // tearDown runs after a fatal check too
    }
}

// A fatal check in setUp() skips the body; tearDown() still runs.
ZKTEST_CASE_FIXTURE(RefusingSetUp, "setUp refuses") {
    std::puts("not reached");
}

ZKTEST_CASE_FIXTURE(Tracing, "skipped after setUp") {
    ZKQE_SKIP("not today");
}
