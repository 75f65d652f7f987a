// The formatted statistics: line selection by mask and the cut at the
// buffer's limit.
#include "zktest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class FormatStatsTest : public testing::Test {
protected:
    void SetUp() override {
        stats = ZKMemStats::instance();
        stats->reset();
    }
    void TearDown() override { stats->reset(); }
    ZKMemStats* stats = nullptr;
};

TEST_F(FormatStatsTest, OneByteHoldsOnlyTheTerminator) {
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(0u, stats->formatStats(buffer, 1, -1));
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_EQ('x', buffer[1]);
}

TEST_F(FormatStatsTest, NullBufferOrZeroSizeWritesNothing) {
    char buffer[2] = {'x', 'x'};
    EXPECT_EQ(0u, stats->formatStats(nullptr, 100, -1));
    EXPECT_EQ(0u, stats->formatStats(buffer, 0, -1));
    EXPECT_EQ('x', buffer[0]);
}

TEST_F(FormatStatsTest, FirstLineAlone) {
    char buffer[100];
    EXPECT_EQ(26u, stats->formatStats(buffer, sizeof buffer, 1));
    EXPECT_EQ("Leaked Blocks         : 0\n", std::string(buffer));
}

TEST_F(FormatStatsTest, ALineThatDoesNotFitIsCutAtTheLimit) {
    char buffer[30];
    EXPECT_EQ(29u, stats->formatStats(buffer, sizeof buffer, 3));
    EXPECT_EQ("Leaked Blocks         : 0\nLea", std::string(buffer));
    // A line that fits exactly is kept whole and ends the output.
    char exact[27];
    EXPECT_EQ(26u, stats->formatStats(exact, sizeof exact, 3));
    EXPECT_EQ("Leaked Blocks         : 0\n", std::string(exact));
}

TEST_F(FormatStatsTest, AllTwelveLinesWithTheirCounters) {
    long values[12] = {3, 4096, 1, 120, 117, 100, 20, 98, 19, 65536, -2, 2147483647};
    for (int i = 0; i < 12; ++i)
        stats->imp->counters[i] = values[i];
    stats->imp->counters[12] = 77; // no line of its own
    const std::string expected = "Leaked Blocks         : 3\n"
                                 "Leaked Bytes          : 4096\n"
                                 "Mismatched Blocks     : 1\n"
                                 "Total Allocations     : 120\n"
                                 "Total Deallocations   : 117\n"
                                 "New Calls             : 100\n"
                                 "Array New Calls       : 20\n"
                                 "Delete Calls          : 98\n"
                                 "Array Delete Calls    : 19\n"
                                 "Largest Request       : 65536\n"
                                 "Stray Delete Calls    : -2\n"
                                 "Double Delete Calls   : 2147483647\n";
    char buffer[1024];
    EXPECT_EQ(expected.size(), stats->formatStats(buffer, sizeof buffer, -1));
    EXPECT_EQ(expected, std::string(buffer));
}

TEST_F(FormatStatsTest, MaskPicksLinesByCounterIndex) {
    stats->imp->counters[2] = 8;
    stats->imp->counters[9] = 512;
    char buffer[200];
    EXPECT_EQ(54u, stats->formatStats(buffer, sizeof buffer, (1L << 2) | (1L << 9) | (1L << 20)));
    EXPECT_EQ("Mismatched Blocks     : 8\nLargest Request       : 512\n", std::string(buffer));
    EXPECT_EQ(0u, stats->formatStats(buffer, sizeof buffer, 1L << 12));
    EXPECT_EQ("", std::string(buffer));
}

} // namespace
