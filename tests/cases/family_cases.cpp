// SPDX-License-Identifier: MIT
// Families of cases: over a list of values, a container, and a list of types.
#include <zktest_cases.h>

#include <map>
#include <string>
#include <vector>

ZKTEST_CASE_VALUES(const std::string& word, ({"one", "three", "seven"}), "short words", "[words]") {
    ZKQE_CHECK_LT(word.size(), 5u);
}

namespace {
const std::vector<int> kWidths{1, 2, 4};
}

ZKTEST_CASE_VALUES(int width, (kWidths), "widths") {
    ZKQE_CHECK(width % 2 == 0);
}

ZKTEST_CASE_TYPES(T, (int, std::map<int, long>, std::string), "default is empty") {
    ZKQE_CHECK(T{} == T{});
    ZKQE_CHECK_EQ(sizeof(T) <= sizeof(int), true);
}
