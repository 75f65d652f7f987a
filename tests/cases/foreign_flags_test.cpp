// SPDX-License-Identifier: MIT
// Other frameworks' command lines as their users type them, and what the
// runner is told: each row is a flag's documented meaning in its own
// framework, said in the runner's words, or the refusal of a flag whose
// meaning the runner cannot keep.
#include "cases/foreign_flags.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using zkqe::kCatch2Dialect;
using zkqe::kDoctestDialect;
using zkqe::kGtestDialect;

struct Row {
    unsigned dialects;
    const char* typed;    // the words after the program's name
    const char* expected; // the runner's words after it, or "error: ..."
};

const Row kRows[] = {
    // GoogleTest: a filter of ':'-separated patterns, '-' before the
    // excluded ones; DISABLED_ tests (hidden cases) stay out unless asked.
    {kGtestDialect, "--gtest_filter=A.*:B*:C?-D*:E.x", "--filter A.*,B*,C?,~D*,~E.x,~[.]"},
    {kGtestDialect, "--gtest_filter=-Slow.*", "--filter ~Slow.*,~[.]"},
    {kGtestDialect, "--gtest_also_run_disabled_tests", "--filter *"},
    {kGtestDialect, "--gtest_filter=A* --gtest_also_run_disabled_tests", "--filter A*"},
    {kGtestDialect, "-gtest_shuffle --gtest_random_seed=7", "--shuffle --seed 7"},
    {kGtestDialect, "--gtest_random_seed=0", ""},
    {kGtestDialect, "--gtest_repeat=3 --gtest_fail_fast", "--repeat 3 --max-failures 1"},
    {kGtestDialect, "--gtest_output=xml:out/r.xml", "--junit out/r.xml"},
    {kGtestDialect, "--gtest_output=xml:", "--junit test_detail.xml"}, // no path: the default
    {kGtestDialect, "--gtest_output=json:r.json",
     "error: --gtest_output=json:r.json: only xml is written"},
    {kGtestDialect, "--gtest_color=no --gtest_brief=1 --gtest_print_time=0 --gtest_print_utf8=1",
     ""},
    {kGtestDialect, "--gtest_break_on_failure --gtest_catch_exceptions=0 --gtest_throw_on_failure",
     ""},
    {kGtestDialect, "--gtest_stack_trace_depth=3 --gtest_death_test_style=fast", ""},
    {kGtestDialect, "--gtest_frobnicate",
     "error: --gtest_frobnicate: not a GoogleTest flag zktest speaks"},
    {kGtestDialect, "-tc=a* fast", "-tc=a* fast"},
    // Catch2: reporters and their files, aborting, listing, order and seed.
    {kCatch2Dialect, "-r junit -o out.xml", "--junit out.xml"},
    {kCatch2Dialect, "--reporter=junit --out=o.xml", "--junit o.xml"},
    {kCatch2Dialect, "-r tap -o t.tap", "--tap=t.tap"},
    {kCatch2Dialect, "--reporter tap", "--tap"},
    {kCatch2Dialect, "-r compact -s -b", ""},
    {kCatch2Dialect, "-r junit", "error: junit: needs a file (-o FILE)"},
    {kCatch2Dialect, "-r xml",
     "error: xml: not a reporter zktest speaks (console, compact, junit, tap)"},
    {kCatch2Dialect, "-a", "--max-failures 1"},
    {kCatch2Dialect, "-x 3 --abortx=2", "--max-failures 3 --max-failures 2"},
    {kCatch2Dialect, "-l", "--list"},
    {kCatch2Dialect, "--list-test-names-only", "--list-names"},
    {kCatch2Dialect, "--order rand --rng-seed 5", "--shuffle --seed 5"},
    {kCatch2Dialect, "--order=decl --rng-seed=time -d yes -w NoAssertions", ""},
    {kCatch2Dialect, "--order lex", "error: --order: only decl and rand orders are spoken"},
    {kCatch2Dialect, "-c leaf",
     "error: -c: not spoken: zktest runs every section, every check, in order"},
    {kCatch2Dialect, "-#",
     "error: -#: not spoken: zktest runs every section, every check, in order"},
    {kCatch2Dialect, "-o", "error: -o: needs a value"},
    {kCatch2Dialect, "[fast] values", "[fast] values"},
    {kCatch2Dialect, "--jobs 2 --timeout=5", "--jobs 2 --timeout=5"},
    // doctest: '='-joined values, a "dt-" prefix on any flag, suites as
    // every case of the suite.
    {kDoctestDialect, "-tc=a*,b* -tce=x*", "--filter a*,b*,~x*"},
    {kDoctestDialect, "-ts=ring,queue -tse=slow", "--filter ring.*,queue.*,~slow.*"},
    {kDoctestDialect, "--dt-test-case=a* -dt-tce=b[1]", "--filter a*,~b\\[1\\]"},
    {kDoctestDialect, "-tc=x~y\\z", "--filter x\\~y\\\\z"},
    {kDoctestDialect, "--test-suite=r --test-suite-exclude=s --test-case-exclude=t",
     "--filter r.*,~s.*,~t"},
    {kDoctestDialect, "-ltc", "--list-names"},
    {kDoctestDialect, "--no-throw",
     "error: --no-throw: not spoken: it would change what runs or what fails"},
    {kDoctestDialect, "--list-test-cases", "--list-names"},
    {kDoctestDialect, "-r=junit -o=f.xml", "--junit f.xml"},
    {kDoctestDialect, "--reporters=junit --out=g.xml", "--junit g.xml"},
    {kDoctestDialect, "-aa=2 -ob=rand -rs=9", "--max-failures 2 --shuffle --seed 9"},
    {kDoctestDialect, "--abort-after=4 --order-by=rand --rand-seed=3",
     "--max-failures 4 --shuffle --seed 3"},
    {kDoctestDialect, "-ob=file -s -nv -nc -d -ni -npf", ""},
    {kDoctestDialect, "--success --no-version --no-colors --duration --no-intro", ""},
    {kDoctestDialect, "--no-path-filenames", ""},
    {kDoctestDialect, "-ne", "error: -ne: not spoken: it would change what runs or what fails"},
    {kDoctestDialect, "--order-by=name",
     "error: --order-by=name: not spoken: it would change what runs or what fails"},
    {kDoctestDialect, "-sc=x", "error: -sc=x: not spoken: it would change what runs or what fails"},
    {kDoctestDialect, "--jobs 2 --timeout=5", "--jobs 2 --timeout=5"},
    // Every dialect at once: each word read by the framework it belongs to.
    {kGtestDialect | kCatch2Dialect | kDoctestDialect, "--gtest_shuffle -a -tc=x",
     "--shuffle --max-failures 1 --filter x,~[.]"},
};

std::vector<std::string> wordsOf(const char* text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

TEST(ForeignFlags, EachFlagSaysWhatItsFrameworkMeans) {
    for (const Row& row : kRows) {
        std::vector<std::string> typed{"prog"};
        for (const std::string& word : wordsOf(row.typed))
            typed.push_back(word);
        const zkqe::ForeignTranslation said = zkqe::translateForeignFlags(typed, row.dialects);
        std::string got;
        if (!said.error.empty()) {
            got = "error: " + said.error;
        } else {
            EXPECT_EQ(said.words.front(), "prog") << row.typed;
            for (std::size_t i = 1; i < said.words.size(); ++i)
                got += (i > 1 ? " " : "") + said.words[i];
        }
        EXPECT_EQ(got, row.expected) << "typed: " << row.typed;
    }
}

} // namespace
