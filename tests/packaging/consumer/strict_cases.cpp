// SPDX-License-Identifier: MIT
// A program of cases as a team with strict warnings writes it: built with
// -Wall -Wextra -Wconversion -Wshadow -Werror through both the CMake package
// and pkg-config, it must compile (zktest's headers never stop the build),
// link a main, and pass.
#include <zktest_cases.h>
#include <zktest_checks.h>

#include <stdexcept>
#include <string>
#include <vector>

ZKTEST_CASE("strict consumer") {
    const std::vector<int> numbers{1, 2, 3};
    const short small = 3;
    const unsigned long count = 3;
    ZKQE_CHECK_EQ(numbers.size(), count);
    ZKQE_CHECK_EQ(small, 3);
    ZKQE_CHECK_LT(-1, 0u);
    ZKQE_CHECK_EQ(std::string("zk") + "test", "zktest") << "joined " << numbers.size();
    ZKQE_CHECK_NEAR(0.1 + 0.2, 0.3, 1e-9);
    ZKQE_CHECK_THROWS_AS(numbers.at(7), std::out_of_range);
    ZKQE_CHECK_NOTHROW(numbers.at(0));
    ZKQE_INFO("first " << numbers.front());
    ZKTEST_SECTION("a section") {
        ZKQE_REQUIRE(numbers.size() == 3);
        ZKQE_CHECK_NE(numbers.back(), 0);
    }
}
