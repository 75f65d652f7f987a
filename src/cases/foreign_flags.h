// SPDX-License-Identifier: MIT
// The command lines of the frameworks whose macros a program speaks, read as
// the runner's own: `--gtest_filter=A*-B*` becomes `--filter A*,~B*`, Catch2's
// `-r junit -o f.xml` becomes `--junit f.xml`, doctest's `-tc=a*` becomes
// `--filter a*`. Only the dialects the program's headers registered are
// read, so a word means what its framework says. A flag that would change a
// verdict and that zktest cannot honour (doctest's --no-exitcode, a subcase
// filter) is an error, never a silent difference; flags about looks only
// (colours, verbosity) are dropped.
#ifndef ZKQE_CASES_FOREIGN_FLAGS_H
#define ZKQE_CASES_FOREIGN_FLAGS_H

#include <string>
#include <vector>

namespace zkqe {

enum Dialect : unsigned {
    kGtestDialect = 1,
    kCatch2Dialect = 2,
    kDoctestDialect = 4,
};

struct ForeignTranslation {
    std::vector<std::string> words; // the runner's own words, argv[0] first
    bool gtestListing = false;      // --gtest_list_tests: GoogleTest's format
    std::string error;              // the first word that cannot be honoured
};

ForeignTranslation translateForeignFlags(const std::vector<std::string>& words, unsigned dialects);

// The dialects the program's headers registered.
unsigned spokenDialects();

} // namespace zkqe

#endif
