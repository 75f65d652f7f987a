// SPDX-License-Identifier: MIT
// The assertion loop with Catch2: N passing CHECK inside one TEST_CASE, built
// with CATCH_CONFIG_FAST_COMPILE (set by CMake) as its users would for speed.
#include "assertion_loop.h"

#if ZKBENCH_CATCH2_MAJOR >= 3
#include <catch2/catch_session.hpp>
#include <catch2/catch_test_macros.hpp>
#else
#define CATCH_CONFIG_RUNNER
#include <catch2/catch.hpp>
#endif

namespace {

long loopCount = assertion_loop::kDefaultCount;

TEST_CASE("passing CHECK") {
    assertion_loop::timeLoop("catch2", loopCount, [](long count) {
        for (long i = 0; i < count; ++i)
            CHECK(assertion_loop::opaqueTrue());
    });
}

} // namespace

int main(int argc, char** argv) {
    loopCount = assertion_loop::takeCount(argc, argv);
    return Catch::Session().run(argc, argv);
}
