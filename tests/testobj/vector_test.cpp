// ZKTestVector: the table of report files and their saved counts.
#include "testobj_support.h"

#include <cstdio>
#include <string>

namespace {

using testobj::written;

std::string nameOf(int i) {
    return "file" + std::to_string(i) + ".out";
}

TEST(TestVectorTest, FreshTableHoldsOnlyTheUnnamedStartingFile) {
    ZKTestVector table;
    EXPECT_EQ(1, table.currentOutfile());
    EXPECT_EQ(-1, table.findOutfile("a.out"));
    EXPECT_EQ(0, table.findOutfile(""));
    EXPECT_EQ(0, table.getAssertions(0));
    EXPECT_EQ(0, table.getFailures(0));
}

TEST(TestVectorTest, GrowsBy64AndKeepsEveryEarlierEntry) {
    ZKTestVector table;
    for (int i = 1; i <= 63; ++i)
        table.insertNewoutFile(i, 1000 + i, nameOf(i).c_str());
    EXPECT_EQ(64, table.currentOutfile()); // full at capacity 64

    table.insertNewoutFile(64, 1064, nameOf(64).c_str()); // grows to 128
    EXPECT_EQ(65, table.currentOutfile());
    for (int i = 1; i <= 64; ++i) {
        ASSERT_EQ(i, table.findOutfile(nameOf(i).c_str())) << nameOf(i);
        EXPECT_EQ(i, table.getAssertions(i));
        EXPECT_EQ(1000 + i, table.getFailures(i));
    }
    EXPECT_EQ(0, table.findOutfile(""));

    for (int i = 65; i <= 200; ++i)
        table.insertNewoutFile(i, -i, nameOf(i).c_str());
    EXPECT_EQ(201, table.currentOutfile());
    EXPECT_EQ(130, table.findOutfile(nameOf(130).c_str()));
    EXPECT_EQ(-130, table.getFailures(130));
    EXPECT_EQ(64, table.getAssertions(64));
}

TEST(TestVectorTest, SettersChangeOnlyTheLastEntry) {
    ZKTestVector table;
    table.insertNewoutFile(1, 2, "a");
    table.setAssertions(7);
    table.setFailures(8);
    EXPECT_EQ(7, table.getAssertions(1));
    EXPECT_EQ(8, table.getFailures(1));
    EXPECT_EQ(0, table.getAssertions(0));
    EXPECT_EQ(0, table.getFailures(0));

    table.setCounts(0, 3, 4); // any entry, by index
    EXPECT_EQ(3, table.getAssertions(0));
    EXPECT_EQ(4, table.getFailures(0));
    EXPECT_EQ(7, table.getAssertions(1));
}

TEST(TestVectorTest, DuplicateNamesMakeTwoEntriesAndTheFirstIsFound) {
    ZKTestVector table;
    table.insertNewoutFile(1, 1, "same");
    table.insertNewoutFile(2, 2, "same");
    EXPECT_EQ(3, table.currentOutfile());
    EXPECT_EQ(1, table.findOutfile("same"));
    EXPECT_EQ(-1, table.findOutfile("Same")); // case-sensitive
    EXPECT_EQ(-1, table.findOutfile("sam"));
}

TEST(TestVectorTest, FirstEntryIsNamedOnceOnly) {
    ZKTestVector table;
    EXPECT_TRUE(table.nameFirstOutfile("start.out"));
    EXPECT_EQ(0, table.findOutfile("start.out"));
    EXPECT_EQ(-1, table.findOutfile(""));
    EXPECT_FALSE(table.nameFirstOutfile("other.out"));
    EXPECT_EQ(0, table.findOutfile("start.out"));
    EXPECT_EQ(-1, table.findOutfile("other.out"));
    EXPECT_EQ(1, table.currentOutfile());
}

TEST(TestVectorTest, CopiesAndAssignmentsOwnTheirEntries) {
    ZKTestVector original;
    for (int i = 1; i <= 70; ++i) // past the first growth
        original.insertNewoutFile(i, i, nameOf(i).c_str());

    ZKTestVector copy(original);
    copy.setAssertions(-1);
    copy.insertNewoutFile(0, 0, "only-in-copy");
    EXPECT_EQ(70, original.getAssertions(70));
    EXPECT_EQ(-1, original.findOutfile("only-in-copy"));
    EXPECT_EQ(71, copy.findOutfile("only-in-copy"));

    ZKTestVector assigned;
    assigned.insertNewoutFile(5, 5, "replaced");
    assigned = original;
    EXPECT_EQ(71, assigned.currentOutfile());
    EXPECT_EQ(-1, assigned.findOutfile("replaced"));
    assigned.setFailures(99);
    EXPECT_EQ(70, original.getFailures(70));
    for (int i = 71; i <= 200; ++i) // the assigned table grows on its own
        assigned.insertNewoutFile(i, i, nameOf(i).c_str());
    EXPECT_EQ(71, original.currentOutfile());

    ZKTestVector& alias = assigned;
    assigned = alias; // self-assignment keeps the entries
    EXPECT_EQ(201, assigned.currentOutfile());
    EXPECT_EQ(150, assigned.findOutfile(nameOf(150).c_str()));
}

// A name longer than 79 characters is kept as "..." and its last 76
// characters; looking the same long name up finds its entry again.
TEST(TestVectorTest, LongNamesKeepTheirEndAndAreFoundAgain) {
    const std::string dir(90, 'd');
    const std::string first = dir + "/first.out";
    const std::string second = dir + "/second.out";
    ZKTestVector table;
    table.insertNewoutFile(1, 1, first.c_str());
    table.insertNewoutFile(2, 2, second.c_str());
    EXPECT_EQ(1, table.findOutfile(first.c_str()));
    EXPECT_EQ(2, table.findOutfile(second.c_str()));
    EXPECT_EQ(-1, table.findOutfile((dir + "/third.out").c_str()));

    const std::string exact79(79, 'x');
    table.insertNewoutFile(3, 3, exact79.c_str()); // fits as it is
    EXPECT_EQ(3, table.findOutfile(exact79.c_str()));
    EXPECT_EQ(-1, table.findOutfile(std::string(78, 'x').c_str()));
}

ZKTEST_CHILD_SCENARIO(print_vector) {
    ZKTestVector table;
    table.insertNewoutFile(3, 1, "a");
    table.insertNewoutFile(5, 2, "b");
    table.printVector();
    std::fflush(stdout);
    return 0;
}

TEST(TestVectorTest, PrintVectorListsEveryEntryInThreeLines) {
    auto result = zktest_support::runChild("print_vector");
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(written("THE OUTFILE NAME IS : \n"
                      "THE ASSERTIONS ARE  : 0\n"
                      "THE FAILURES   ARE  : 0\n"
                      "THE OUTFILE NAME IS : a\n"
                      "THE ASSERTIONS ARE  : 3\n"
                      "THE FAILURES   ARE  : 1\n"
                      "THE OUTFILE NAME IS : b\n"
                      "THE ASSERTIONS ARE  : 5\n"
                      "THE FAILURES   ARE  : 2\n"),
              result.out);
    EXPECT_EQ("", result.err);
}

ZKTEST_CHILD_SCENARIO(print_long_name) {
    ZKTestVector table;
    table.insertNewoutFile(0, 0, (std::string(30, 'a') + std::string(70, 'b')).c_str());
    table.printVector();
    std::fflush(stdout);
    return 0;
}

TEST(TestVectorTest, PrintVectorShowsTheShortenedFormOfALongName) {
    auto result = zktest_support::runChild("print_long_name");
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    const std::string stored = "..." + std::string(6, 'a') + std::string(70, 'b');
    ASSERT_EQ(79u, stored.size());
    EXPECT_EQ(written("THE OUTFILE NAME IS : \n"
                      "THE ASSERTIONS ARE  : 0\n"
                      "THE FAILURES   ARE  : 0\n"
                      "THE OUTFILE NAME IS : " +
                      stored +
                      "\n"
                      "THE ASSERTIONS ARE  : 0\n"
                      "THE FAILURES   ARE  : 0\n"),
              result.out);
}

} // namespace
