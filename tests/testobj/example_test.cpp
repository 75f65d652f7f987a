// The example program of the README, run as a newcomer runs it: its report
// and status file must look exactly as the documentation shows.
#include "testobj_support.h"

#include <filesystem>
#include <string>

namespace {

using testobj::golden;
using testobj::written;
using zktest_support::readFile;
using zktest_support::TempDir;

TEST(ExampleTest, ReportStatusFileAndExitCode) {
    // Built beside this test program, with the same file extension.
    const std::filesystem::path self = zktest_support::selfPath();
    std::filesystem::path example = self;
    example.replace_filename("zktest_testobj_example" + self.extension().string());
    ASSERT_TRUE(std::filesystem::exists(example)) << example;

    TempDir dir;
    zktest_support::ChildOptions options;
    options.cwd = dir.path();
    auto result = zktest_support::runProgram({example.string()}, options);
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ(written("0 assertion(s) failed; report in example.out\n"), result.out);
    EXPECT_EQ("", result.err);
    EXPECT_EQ(golden("example.out"), readFile(dir.file("example.out")));
    EXPECT_EQ("0", readFile(dir.file("example.sta")));
}

} // namespace
