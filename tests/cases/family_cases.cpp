// SPDX-License-Identifier: MIT
// Families of cases: over a list of values, a container, and a list of types.
#include <zktest_cases.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

ZKTEST_CASE_VALUES(const std::string& word, ({"one", "three", "seven"}), "short words", "[][words]") {
    ZKQE_CHECK_LT(word.size(), 5u);
}

namespace {
const std::vector<int> kWidths{1, 2, 4};
}

ZKTEST_CASE_VALUES(int w, (kWidths), "widths") { // a one-letter name is found too
    ZKQE_CHECK(w % 2 == 0);
}

ZKTEST_CASE_TYPES(T, (int, std::map<int, long>, std::string), "default is empty") {
    ZKQE_CHECK(T{} == T{});
    ZKQE_CHECK_EQ(sizeof(T) <= sizeof(int), true);
}

// Generators: every combination of values, each with every leaf section;
// a value that throws leaves the others to run.
ZKTEST_CASE("generated", "[generated]") {
    const int width = ZKTEST_GENERATE(1, 2);
    const char* const unit = ZKTEST_GENERATE("cm", "in");
    std::printf("width %d %s\n", width, unit);
    ZKTEST_SECTION("even") {
        ZKQE_CHECK(width % 2 == 0);
    }
    ZKTEST_SECTION("small") {
        ZKQE_CHECK(width < 2);
    }
}

ZKTEST_CASE("generated throws", "[generated]") {
    const int n = ZKTEST_GENERATE(1, 2, 3);
    if (n == 2)
        throw std::runtime_error("two");
    std::printf("n %d\n", n);
}
