// The assertion macros, through the report a real run writes: the tag is
// the expression's text, the file and line are the call site's, each
// argument is evaluated once, and each macro works as a lone statement and
// yields the assertion's result.
#include "zktest.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

int evaluations = 0;
int count(int value) {
    ++evaluations;
    return value;
}
double half(double value) { return value / 2; }

int lines[7];

// The object form, used outside the test class.
bool checkOutside(ZKQETest& test) { return lines[4] = __LINE__, ZKQE_CHECK_ON(test, false); }

class MacroTest : public ZKQETest {
public:
    MacroTest() : ZKQETest("macros", "", ".", "macros.out", false, 0) {}
    bool lastResult = true;

    void runTest() override {
        threshold(0.01);
        ZKQE_CHECK(count(1) == 1);
        lines[0] = __LINE__, ZKQE_CHECK(count(2) == 3);
        lines[1] = __LINE__, ZKQE_CHECK_ID(count(3) > 5, "7");
        ZKQE_CHECK_SMALL(0.005);
        lines[2] = __LINE__, ZKQE_CHECK_SMALL(half(0.5));
        ZKQE_CHECK_NEAR(count(4) * 1.0, 4.001);
        lines[3] = __LINE__, ZKQE_CHECK_NEAR(1.5, 1.0);
        checkOutside(*this);
        const bool taken = evaluations > 0;
        if (taken)
            ZKQE_CHECK(taken);
        else
            lines[5] = __LINE__, ZKQE_CHECK(taken);
        lines[6] = __LINE__, lastResult = ZKQE_CHECK(1 == 2);
    }
};

ZKTEST_CHILD_SCENARIO(macros) {
    MacroTest test;
    test.processDefaultArguments(argc, argv);
    const int failures = test.go();
    std::printf("%d %d %d %d %d %d %d %d %d\n", failures, evaluations, test.lastResult ? 1 : 0,
                lines[0], lines[1], lines[2], lines[3], lines[4], lines[6]);
    return 0;
}

std::string block(const std::string& id, const std::string& tag, int line) {
    std::string text = "\n";
    if (!id.empty())
        text += "## -       ID           = " + id + "\n";
    return text + "## -       AssertionTag = " + tag + "\n## -       FileName     = " + __FILE__ +
           "\n## -       LineNumber   = " + std::to_string(line) + "\n";
}

TEST(MacrosTest, WriteTheExpressionTheCallSiteAndEvaluateOnce) {
    zktest_support::TempDir dir;
    zktest_support::ChildOptions options;
    options.cwd = dir.path();
    const auto result = zktest_support::runChild("macros", {}, options);
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();

    int failures = 0, evaluated = 0, last = 1, l[6] = {};
    ASSERT_EQ(9, std::sscanf(result.out.c_str(), "%d %d %d %d %d %d %d %d %d", &failures,
                             &evaluated, &last, &l[0], &l[1], &l[2], &l[3], &l[4], &l[5]))
        << result.out;
    EXPECT_EQ(6, failures);
    EXPECT_EQ(4, evaluated) << "every argument is evaluated exactly once";
    EXPECT_EQ(0, last) << "a failed check yields false";

    const std::string expected =
        "## -------------------------------\n"
        "## TestTag     = macros\n"
        "## CompilerId  = unknown\n"
        "## MachineId   = unknown\n"
        "## Remark      = \n\n" +
        block("", "count(2) == 3", l[0]) + block("7", "count(3) > 5", l[1]) +
        block("", "half(0.5)", l[2]) + block("", "1.5 - 1.0", l[3]) + block("", "false", l[4]) +
        block("", "1 == 2", l[5]) + "## Assertions = 10\n## FailedAssertions = 6\n\n\n";
    EXPECT_EQ(zktest_support::asWritten(expected), zktest_support::readFile(dir.file("macros.out")));
}

} // namespace
