// The status file: its name, its one character while the process runs and
// after each kind of process end, the one instance per process, and the
// messages of a failed creation. The instance lives once per process, so
// every case runs in a child whose working directory is a fresh TempDir.
#include "zktest.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace {

using zktest_support::asWritten;
using zktest_support::ChildOptions;
using zktest_support::readFile;
using zktest_support::runChild;
using zktest_support::TempDir;

namespace fs = std::filesystem;

// Arguments can't carry a null pointer; this word stands for one.
const char kNull[] = "(null)";

const char* argument(const char* word) {
    return std::strcmp(word, kNull) == 0 ? nullptr : word;
}

std::string contentOf(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

[[noreturn]] void endThroughExit() {
    std::exit(0);
}

// argv: directory, file name, the status file's expected path, and how the
// process ends: "return", "exit" or "abort". Prints what the status file
// holds while the process runs.
ZKTEST_CHILD_SCENARIO(status_create) {
    if (argc != 5)
        return 90;
    ZKQESingletonFileObject::getZKQESingletonFileObject(argument(argv[1]), argument(argv[2]));
    std::printf("running: [%s]\n", contentOf(argv[3]).c_str());
    std::fflush(stdout);
    if (std::strcmp(argv[4], "exit") == 0)
        endThroughExit();
    if (std::strcmp(argv[4], "abort") == 0)
        std::abort();
    return 0;
}

// Regular files below `dir`, as paths relative to it with '/' separators.
std::set<std::string> filesUnder(const TempDir& dir) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
        if (entry.is_regular_file())
            files.insert(entry.path().lexically_relative(dir.path()).generic_string());
    return files;
}

struct Created {
    zktest_support::ProcessResult child;
    std::set<std::string> files;
    std::string content; // of the expected status file after the child ended
};

// Runs status_create in a fresh directory in which `subdirectories` exist.
Created createStatusFile(const std::string& directory, const std::string& fileName,
                         const std::string& expected, const std::string& end = "return",
                         std::initializer_list<const char*> subdirectories = {}) {
    TempDir dir;
    for (const char* subdirectory : subdirectories)
        fs::create_directories(dir.file(subdirectory));
    ChildOptions options;
    options.cwd = dir.path();
    Created created;
    created.child = runChild("status_create", {directory, fileName, expected, end}, options);
    created.files = filesUnder(dir);
    created.content = readFile(dir.file(expected));
    return created;
}

// ---- the character in the file -----------------------------------------------

TEST(StatusFileContent, OneWhileRunningZeroAfterReturnFromMain) {
    auto created = createStatusFile(kNull, "mytest.out", "mytest.sta", "return");
    ASSERT_TRUE(created.child.exited && created.child.exitCode == 0) << created.child.describe();
    EXPECT_EQ(asWritten("running: [1]\n"), created.child.out);
    EXPECT_EQ("", created.child.err);
    EXPECT_EQ("0", created.content);
}

TEST(StatusFileContent, ZeroAfterExit) {
    auto created = createStatusFile(kNull, "mytest.out", "mytest.sta", "exit");
    ASSERT_TRUE(created.child.exited && created.child.exitCode == 0) << created.child.describe();
    EXPECT_EQ(asWritten("running: [1]\n"), created.child.out);
    EXPECT_EQ("0", created.content);
}

TEST(StatusFileContent, StaysOneAfterAbort) {
    auto created = createStatusFile(kNull, "mytest.out", "mytest.sta", "abort");
    EXPECT_TRUE(created.child.aborted()) << created.child.describe();
    EXPECT_EQ(asWritten("running: [1]\n"), created.child.out);
    EXPECT_EQ("1", created.content);
}

// ---- the name ------------------------------------------------------------------

TEST(StatusFileName, DirectoryAndNameWithExtension) {
    auto created = createStatusFile("out", "run1.log", "out/run1.sta", "return", {"out"});
    ASSERT_TRUE(created.child.exited && created.child.exitCode == 0) << created.child.describe();
    EXPECT_EQ(std::set<std::string>{"out/run1.sta"}, created.files);
    EXPECT_EQ("0", created.content);
    EXPECT_EQ(asWritten("running: [1]\n"), created.child.out);
}

TEST(StatusFileName, DirectoryEndingWithTheSeparatorGetsNoSecondOne) {
    const std::string results = std::string("results") + zktest_support::separator();
    auto created = createStatusFile(results, "t1.out", "results/t1.sta", "return", {"results"});
    ASSERT_TRUE(created.child.exited && created.child.exitCode == 0) << created.child.describe();
    EXPECT_EQ(std::set<std::string>{"results/t1.sta"}, created.files);
    EXPECT_EQ("0", created.content);
}

TEST(StatusFileName, OnlyTheLastExtensionIsReplaced) {
    auto created = createStatusFile(kNull, "a.b.out", "a.b.sta");
    EXPECT_EQ(std::set<std::string>{"a.b.sta"}, created.files) << created.child.describe();
    EXPECT_EQ("0", created.content);
}

TEST(StatusFileName, NameWithoutExtensionGetsOne) {
    EXPECT_EQ(std::set<std::string>{"mytest.sta"},
              createStatusFile(kNull, "mytest", "mytest.sta").files);
    EXPECT_EQ(std::set<std::string>{"mytest.sta"},
              createStatusFile("", "mytest", "mytest.sta").files);
}

TEST(StatusFileName, DotsInTheDirectoryPartAreNoExtension) {
    // The extension is looked for after the last separator: "." and "mytest"
    // make ./mytest.sta, not a file called ".sta".
    auto created = createStatusFile(".", "mytest", "mytest.sta");
    EXPECT_EQ(std::set<std::string>{"mytest.sta"}, created.files) << created.child.describe();
    EXPECT_EQ("0", created.content);
    EXPECT_EQ(std::set<std::string>{"sub.d/run.sta"},
              createStatusFile("sub.d", "run", "sub.d/run.sta", "return", {"sub.d"}).files);
    // A slash inside the file name part is a separator too.
    EXPECT_EQ(std::set<std::string>{"rel.d/run.sta"},
              createStatusFile(kNull, "rel.d/run", "rel.d/run.sta", "return", {"rel.d"}).files);
}

TEST(StatusFileName, AbsoluteDirectory) {
    TempDir target;
    auto created = createStatusFile(target.path(), "abs.out", target.file("abs.sta"));
    ASSERT_TRUE(created.child.exited && created.child.exitCode == 0) << created.child.describe();
    EXPECT_EQ(asWritten("running: [1]\n"), created.child.out);
    EXPECT_EQ("0", readFile(target.file("abs.sta")));
    EXPECT_TRUE(created.files.empty());
}

// ---- one instance ----------------------------------------------------------------

ZKTEST_CHILD_SCENARIO(status_second_call) {
    auto& first = ZKQESingletonFileObject::getZKQESingletonFileObject(nullptr, "first.out");
    auto& second = ZKQESingletonFileObject::getZKQESingletonFileObject("other", "second.log");
    std::printf("same instance: %s\n", &first == &second ? "yes" : "no");
    return 0;
}

TEST(StatusFileInstance, SecondCallReturnsTheSameInstanceAndCreatesNoFile) {
    TempDir dir;
    fs::create_directory(dir.file("other"));
    ChildOptions options;
    options.cwd = dir.path();
    auto child = runChild("status_second_call", {}, options);
    ASSERT_TRUE(child.exited && child.exitCode == 0) << child.describe();
    EXPECT_EQ(asWritten("same instance: yes\n"), child.out);
    EXPECT_EQ(std::set<std::string>{"first.sta"}, filesUnder(dir));
    EXPECT_EQ("0", readFile(dir.file("first.sta")));
}

// ---- failed creation --------------------------------------------------------------

// argv: directory and file name of the first call. A second call with a
// usable name follows: a failed creation is not retried.
ZKTEST_CHILD_SCENARIO(status_failed_creation) {
    if (argc != 3)
        return 90;
    auto& first =
        ZKQESingletonFileObject::getZKQESingletonFileObject(argument(argv[1]), argument(argv[2]));
    auto& second = ZKQESingletonFileObject::getZKQESingletonFileObject(nullptr, "later.out");
    std::printf("goes on, same instance: %s\n", &first == &second ? "yes" : "no");
    return 0;
}

zktest_support::ProcessResult failCreation(const TempDir& dir, const std::string& directory,
                                           const std::string& fileName) {
    ChildOptions options;
    options.cwd = dir.path();
    return runChild("status_failed_creation", {directory, fileName}, options);
}

TEST(StatusFileFailure, MissingFileNameIsAnErrorAndNoFileIsMade) {
    for (const char* fileName : {kNull, ""}) {
        TempDir dir;
        auto child = failCreation(dir, "out", fileName);
        ASSERT_TRUE(child.exited && child.exitCode == 0) << child.describe();
        EXPECT_EQ(asWritten("*** ERROR: No file name specified\n"), child.err) << fileName;
        EXPECT_EQ(asWritten("goes on, same instance: yes\n"), child.out);
        EXPECT_TRUE(filesUnder(dir).empty()) << fileName;
    }
}

TEST(StatusFileFailure, MissingDirectoryIsAWarningWithTheSystemsReasonAndTheRunGoesOn) {
    TempDir dir;
    auto child = failCreation(dir, "missing", "run.out");
    ASSERT_TRUE(child.exited && child.exitCode == 0) << child.describe();
    EXPECT_EQ(asWritten("*** WARNING: Status file was not created (errno=2)\n"
                        "*** perror() reports: No such file or directory\n"),
              child.err);
    EXPECT_EQ(asWritten("goes on, same instance: yes\n"), child.out);
    EXPECT_TRUE(filesUnder(dir).empty());
}

} // namespace
