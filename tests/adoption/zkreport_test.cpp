// zkreport over reports that real runs wrote: one run for each way a run can
// end, a table of exact text, the exit status, and JUnit XML that xmllint
// accepts.
#include "zktest.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

class Run : public ZKQETest {
public:
    Run(const char* tag, int failures, int maxFailures)
        : ZKQETest(tag, "", ".", (std::string(tag) + ".out").c_str(), false, maxFailures),
          failures_(failures) {}
    void (*extra)(Run&) = nullptr;

    void runTest() override {
        assertTrue("passes", "run.cpp", 1, true, nullptr);
        for (int i = 0; i < failures_; ++i)
            assertTrue("fails", "run.cpp", 2, false, "9");
        if (extra != nullptr)
            extra(*this);
    }

private:
    int failures_;
};

int runOne(Run& run, int argc, char** argv) {
    run.processDefaultArguments(argc, argv);
    return run.go();
}

ZKTEST_CHILD_SCENARIO(report_pass) {
    Run run("alpha", 0, 128);
    return runOne(run, argc, argv);
}

ZKTEST_CHILD_SCENARIO(report_fail) {
    Run run("beta", 2, 128);
    runOne(run, argc, argv);
    return 0;
}

ZKTEST_CHILD_SCENARIO(report_limit) {
    Run run("gamma", 3, 1);
    runOne(run, argc, argv);
    return 0;
}

ZKTEST_CHILD_SCENARIO(report_exception) {
    Run run("delta", 0, 128);
    run.extra = [](Run&) { throw 42; };
    return runOne(run, argc, argv);
}

ZKTEST_CHILD_SCENARIO(report_exit) {
    Run run("epsilon", 1, 128);
    run.extra = [](Run& self) { self.callExit(); };
    return runOne(run, argc, argv);
}

ZKTEST_CHILD_SCENARIO(report_abort) {
    Run run("zeta", 0, 128);
    // A function tag flushes the report, so the header survives the abort.
    run.extra = [](Run& self) {
        self.setFunctionTag("aborting");
        std::abort();
    };
    return runOne(run, argc, argv);
}

class ZkreportTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new zktest_support::TempDir;
        zktest_support::ChildOptions options;
        options.cwd = dir_->path();
        for (const char* name : {"report_pass", "report_fail", "report_limit", "report_exception",
                                 "report_exit", "report_abort"})
            zktest_support::runChild(name, {}, options);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string report(const char* tag) { return dir_->file(std::string(tag) + ".out"); }
    static zktest_support::ProcessResult zkreport(std::vector<std::string> args) {
        args.insert(args.begin(), ZKREPORT_PATH);
        return zktest_support::runProgram(args);
    }
    static zktest_support::TempDir* dir_;
};

zktest_support::TempDir* ZkreportTest::dir_ = nullptr;

const char kHead[] = "TEST      ASSERTIONS  FAILURES  ENDED BY       STATUS\n";

TEST_F(ZkreportTest, APassingRunEndsInOrderAndExitsZero) {
    const auto result = zkreport({report("alpha")});
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ(zktest_support::asWritten(std::string(kHead) +
                                        "alpha              1         0  summary        0\n"
                                        "1 run, 0 failed\n"),
              result.out);
}

TEST_F(ZkreportTest, EveryWayOfEndingIsNamedAndAnyFailureFailsTheWhole) {
    const auto result = zkreport({report("alpha"), report("beta"), report("gamma"),
                                  report("delta"), report("epsilon"), report("zeta")});
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ(zktest_support::asWritten(std::string(kHead) +
                                        "alpha              1         0  summary        0\n"
                                        "beta               3         2  summary        0\n"
                                        "gamma              2         1  failure limit  0\n"
                                        "delta              1         0  exception      0\n"
                                        "epsilon            -         1  exit           0\n"
                                        "zeta               -         0  no summary     1\n"
                                        "6 runs, 5 failed\n"),
              result.out);
}

TEST_F(ZkreportTest, AMissingReportIsAnErrorOfItsOwn) {
    const auto result = zkreport({dir_->file("missing.out")});
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(2, result.exitCode);
    EXPECT_NE(std::string::npos, result.err.find("zkreport: cannot read "));
}

TEST_F(ZkreportTest, WritesJunitXmlThatXmllintAccepts) {
    const std::string junit = dir_->file("junit.xml");
    const auto result = zkreport({"--junit", junit, report("alpha"), report("beta")});
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(1, result.exitCode);
    const std::string xml = zktest_support::readFile(junit);
    EXPECT_NE(std::string::npos, xml.find("<testsuites tests=\"2\" failures=\"1\">"));
    EXPECT_NE(std::string::npos, xml.find("name=\"alpha\"/>"));
    EXPECT_NE(std::string::npos, xml.find("<failure message=\"2 failed assertions\">"
                                          "ID           = 9\nAssertionTag = fails\n"));
#if defined(ZKTEST_XMLLINT)
    const auto lint = zktest_support::runProgram({ZKTEST_XMLLINT, "--noout", junit});
    EXPECT_TRUE(lint.exited && lint.exitCode == 0) << lint.describe();
#endif
}

} // namespace
