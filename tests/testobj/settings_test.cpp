// The test object's settings: constructor defaults, accessors and setters,
// copying and assignment.
#include "testobj_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

using testobj::Probe;
using testobj::runIn;
using zktest_support::readFile;
using zktest_support::TempDir;

TEST(SettingsTest, DefaultConstructedObjectUsesEveryDefault) {
    Probe test;
    EXPECT_STREQ("", test.testTag());
    EXPECT_STREQ("", test.remark());
    EXPECT_STREQ(".", test.outputDir());
    EXPECT_STREQ("zktest.out", test.outputFile());
    EXPECT_EQ(0, test.appendStatus());
    EXPECT_EQ(128, test.maxFailures());
    EXPECT_STREQ("unknown", test.compilerId());
    EXPECT_STREQ("unknown", test.machineId());
    EXPECT_TRUE(test.user());
    EXPECT_EQ(0.0, test.threshold());
    EXPECT_EQ(nullptr, test.runTag());
    EXPECT_EQ(nullptr, test.functionTag());
    EXPECT_EQ(nullptr, test.stepTag());
    EXPECT_EQ(nullptr, test.assertionTag());
    EXPECT_EQ(0, test.detectedErrors());
    EXPECT_EQ(0, test.lastAssertionFailed());
    EXPECT_EQ(0, test.rethrow());
    EXPECT_EQ(nullptr, test.auxiliary());
    EXPECT_EQ(0, test.fileAssertions());
    EXPECT_EQ(nullptr, test.fullName());
    EXPECT_EQ(nullptr, test.primary());
    EXPECT_EQ(nullptr, test.cmdLine());
    EXPECT_EQ(0, test.stream().is_open());
    ASSERT_NE(nullptr, test.lock());
    EXPECT_EQ(1, test.lock()->initialised);
    EXPECT_EQ(1, test.files().currentOutfile());
}

TEST(SettingsTest, EveryConstructorArgumentIsStored) {
    Probe test("tag", "remark", "dir", "", true, 7, "gcc", "box", false, 0.25);
    EXPECT_STREQ("tag", test.testTag());
    EXPECT_STREQ("remark", test.remark());
    EXPECT_STREQ("dir", test.outputDir());
    EXPECT_STREQ("zktest.out", test.outputFile());
    EXPECT_EQ(1, test.appendStatus());
    EXPECT_EQ(7, test.maxFailures());
    EXPECT_STREQ("gcc", test.compilerId());
    EXPECT_STREQ("box", test.machineId());
    EXPECT_FALSE(test.user());
    EXPECT_EQ(0.25, test.threshold());
}

TEST(SettingsTest, EmptyOrNullArgumentsMapToNullOrTheDefaultName) {
    Probe emptyDir("t", "r", "", nullptr);
    EXPECT_EQ(nullptr, emptyDir.outputDir());
    EXPECT_STREQ("zktest.out", emptyDir.outputFile());

    Probe nulls(nullptr, nullptr, nullptr, "", false, 128, nullptr, nullptr);
    EXPECT_EQ(nullptr, nulls.testTag());
    EXPECT_EQ(nullptr, nulls.remark());
    EXPECT_EQ(nullptr, nulls.outputDir());
    EXPECT_EQ(nullptr, nulls.compilerId());
    EXPECT_EQ(nullptr, nulls.machineId());
    EXPECT_STREQ("zktest.out", nulls.outputFile());
}

TEST(SettingsTest, StringSettersStoreFreshCopiesOrNull) {
    Probe test;
    char text[] = "first";
    test.compilerId(text);
    test.machineId(text);
    test.outputDir(text);
    test.outputFile(text);
    test.remark(text);
    text[0] = 'F'; // the object keeps its own copies
    EXPECT_STREQ("first", test.compilerId());
    EXPECT_STREQ("first", test.machineId());
    EXPECT_STREQ("first", test.outputDir());
    EXPECT_STREQ("first", test.outputFile());
    EXPECT_STREQ("first", test.remark());
    EXPECT_NE(test.compilerId(), test.machineId());

    test.compilerId(test.compilerId()); // its own value again
    EXPECT_STREQ("first", test.compilerId());

    test.compilerId(nullptr);
    test.machineId(nullptr);
    test.outputDir(nullptr);
    test.outputFile(nullptr);
    test.remark(nullptr);
    EXPECT_EQ(nullptr, test.compilerId());
    EXPECT_EQ(nullptr, test.machineId());
    EXPECT_EQ(nullptr, test.outputDir());
    EXPECT_EQ(nullptr, test.outputFile());
    EXPECT_EQ(nullptr, test.remark());
}

TEST(SettingsTest, NumericSettersStoreTheirValueUnchanged) {
    Probe test;
    test.appendStatus(5);
    EXPECT_EQ(5, test.appendStatus());
    test.maxFailures(-3);
    EXPECT_EQ(-3, test.maxFailures());
    test.rethrow(42);
    EXPECT_EQ(42, test.rethrow());
    int target = 0;
    test.enableAuxilaryOutput(&target);
    EXPECT_EQ(&target, test.auxiliary());

    test.setThreshold(0.5);
    EXPECT_EQ(0.5, test.threshold());
    Probe other;
    other.threshold(0.5);
    EXPECT_EQ(test.threshold(), other.threshold());
    test.threshold(-1.0);
    EXPECT_EQ(-1.0, test.threshold());
}

TEST(SettingsTest, AllocateAndCopyStringMakesExactHeapCopies) {
    Probe test;
    EXPECT_EQ(nullptr, test.copyString(nullptr));
    const char text[] = "abc";
    char* copy = test.copyString(text);
    ASSERT_NE(nullptr, copy);
    EXPECT_NE(text, copy);
    EXPECT_STREQ("abc", copy);
    std::free(copy);
    char* empty = test.copyString("");
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ('\0', empty[0]);
    std::free(empty);
}

TEST(SettingsTest, AssertionAttemptsIsTheProcessWideCount) {
    Probe first;
    Probe second;
    first.resetAssertionCount();
    first.assertTrue("t", "f", 1, true, "1");
    second.assertTrue("t", "f", 2, true, "2");
    second.assertSmall("t", "f", 3, 0.0, "3");
    EXPECT_EQ(3, first.assertionAttempts());
    EXPECT_EQ(3, second.assertionAttempts());
}

TEST(CopyTest, CopyOwnsItsStringsTableAndMutex) {
    Probe source("tag", "remark", "dir", "", true, 9, "cc", "mm", false, 0.125);
    source.rethrow(3);
    int aux = 0;
    source.enableAuxilaryOutput(&aux);
    char arg0[] = "prog";
    char arg1[] = "-Mbox";
    char* argv[] = {arg0, arg1, nullptr};
    source.processDefaultArguments(2, argv);
    source.files().insertNewoutFile(4, 5, "x.out");
    source.fileAssertions(6);

    auto* copy = new Probe(source);
    EXPECT_STREQ("tag", copy->testTag());
    EXPECT_NE(source.testTag(), copy->testTag());
    EXPECT_STREQ("remark", copy->remark());
    EXPECT_STREQ("dir", copy->outputDir());
    EXPECT_NE(source.outputDir(), copy->outputDir());
    EXPECT_STREQ("zktest.out", copy->outputFile());
    EXPECT_STREQ("cc", copy->compilerId());
    EXPECT_STREQ("box", copy->machineId());
    EXPECT_EQ(1, copy->appendStatus());
    EXPECT_EQ(9, copy->maxFailures());
    EXPECT_EQ(0.125, copy->threshold());
    EXPECT_FALSE(copy->user());
    EXPECT_EQ(3, copy->rethrow());
    EXPECT_EQ(&aux, copy->auxiliary());
    EXPECT_EQ(6, copy->fileAssertions());
    ASSERT_NE(nullptr, copy->cmdLine());
    EXPECT_STREQ(source.cmdLine(), copy->cmdLine());
    EXPECT_NE(source.cmdLine(), copy->cmdLine());
    EXPECT_EQ(1, copy->files().findOutfile("x.out"));
    EXPECT_NE(source.lock(), copy->lock());
    EXPECT_EQ(1, copy->lock()->initialised);

    copy->remark("changed");
    copy->files().setAssertions(40);
    EXPECT_STREQ("remark", source.remark());
    EXPECT_EQ(4, source.files().getAssertions(1));

    delete copy; // releases only its own storage
    EXPECT_STREQ("tag", source.testTag());
    EXPECT_STREQ("box", source.machineId());
    EXPECT_EQ(1, source.lock()->initialised);
}

TEST(CopyTest, AssignmentReplacesEverySettingAndKeepsItsOwnMutex) {
    Probe source("src", "r1", "d1", "", false, 3, "c1", "m1", true, 1.0);
    Probe target("dst", "r2", "d2", "", true, 4, "c2", "m2", false, 2.0);
    ZKQEMutex* targetMutex = target.lock();

    Probe& result = (target = source);
    EXPECT_EQ(&target, &result);
    EXPECT_STREQ("src", target.testTag());
    EXPECT_NE(source.testTag(), target.testTag());
    EXPECT_STREQ("r1", target.remark());
    EXPECT_STREQ("d1", target.outputDir());
    EXPECT_STREQ("c1", target.compilerId());
    EXPECT_STREQ("m1", target.machineId());
    EXPECT_EQ(nullptr, target.runTag());
    EXPECT_EQ(0, target.appendStatus());
    EXPECT_EQ(3, target.maxFailures());
    EXPECT_EQ(1.0, target.threshold());
    EXPECT_TRUE(target.user());
    EXPECT_EQ(targetMutex, target.lock());

    Probe& alias = target;
    target = alias; // self-assignment keeps every value
    EXPECT_STREQ("src", target.testTag());
    EXPECT_STREQ("d1", target.outputDir());
}

// A copy shares the stream's buffer: what either writes lands in one file,
// and destroying the source leaves the copy's stream open.
TEST(CopyTest, CopySharesTheStreamBuffer) {
    TempDir dir;
    auto* source = new Probe("t", "", dir.path().c_str(), "", false);
    source->createFullOutputFileName();
    source->outStream() << "from source ";
    Probe copy(*source);
    EXPECT_EQ(1, copy.stream().is_open());
    EXPECT_EQ(nullptr, copy.primary());
    copy.stream() << "from copy";
    delete source;
    EXPECT_EQ(1, copy.stream().is_open());
    copy.stream().close();
    EXPECT_EQ("# from source from copy", readFile(dir.file("zktest.out")));
}

ZKTEST_CHILD_SCENARIO(construct_without_file) {
    Probe test("t", "", ".", "");
    std::printf("%d", zktest_support::fileExists("zktest.sta") ? 1 : 0);
    return 0;
}

ZKTEST_CHILD_SCENARIO(construct_with_file) {
    Probe test("t", "", "sub", "named.out");
    std::printf("[%s]", readFile("sub/named.sta").c_str());
    return 0;
}

TEST(ConstructionTest, StatusFileIsCreatedOnlyWhenAFileIsNamed) {
    TempDir dir;
    auto unnamed = runIn(dir, "construct_without_file");
    ASSERT_TRUE(unnamed.exited && unnamed.exitCode == 0) << unnamed.describe();
    EXPECT_EQ("0", unnamed.out);
    EXPECT_FALSE(zktest_support::fileExists(dir.file("zktest.sta")));

    std::filesystem::create_directory(dir.file("sub"));
    auto named = runIn(dir, "construct_with_file");
    ASSERT_TRUE(named.exited && named.exitCode == 0) << named.describe();
    EXPECT_EQ("[1]", named.out);                         // "1" right after construction
    EXPECT_EQ("0", readFile(dir.file("sub/named.sta"))); // "0" after an orderly end
}

} // namespace
