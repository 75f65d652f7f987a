// SPDX-License-Identifier: MIT
// The assertion loop with doctest: N passing CHECK inside one TEST_CASE,
// built with DOCTEST_CONFIG_SUPER_FAST_ASSERTS (set by CMake) as its users
// would for speed.
#include "assertion_loop.h"

#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest/doctest.h>

namespace {

long loopCount = assertion_loop::kDefaultCount;

TEST_CASE("passing CHECK") {
    assertion_loop::timeLoop("doctest", loopCount, [](long count) {
        for (long i = 0; i < count; ++i)
            CHECK(assertion_loop::opaqueTrue());
    });
}

} // namespace

int main(int argc, char** argv) {
    loopCount = assertion_loop::takeCount(argc, argv);
    doctest::Context context(argc, argv);
    return context.run();
}
