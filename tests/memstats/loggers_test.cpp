// The loggers and the log file's text: table head, rows, error texts, dumps,
// and the logging controls of the instance.
#include "checked_block_builder.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using memstats_test::BlockArena;
using memstats_test::dumpLine;
using memstats_test::headerDump;
using memstats_test::hexAddress;
using memstats_test::row;
using memstats_test::tableHead;
using memstats_test::trailerDump;
using zktest_support::asWritten;
using zktest_support::fileExists;
using zktest_support::readFile;

class EnabledLoggerTest : public testing::Test {
protected:
    void TearDown() override { logger.stopLogging(); }
    std::string log() const { return readFile(path); }

    zktest_support::TempDir dir;
    std::string path = dir.file("mem.log");
    ZKEnabledLogger logger;
    BlockArena arena;
};

TEST_F(EnabledLoggerTest, StartingWritesTheTableHead) {
    EXPECT_EQ(0, logger.isLogging());
    EXPECT_EQ(1, logger.startLogging(path.c_str()));
    EXPECT_NE(0, logger.isLogging());
    EXPECT_EQ(1, logger.stopLogging());
    EXPECT_EQ(0, logger.isLogging());
    EXPECT_EQ(1, logger.stopLogging());
    const std::string stars(67, '*');
    const std::string columns =
        sizeof(void*) == 4 ? " Operator |    Address |     Size |    Seq # | Error"
                           : " Operator |            Address |     Size |    Seq # | Error";
    EXPECT_EQ(asWritten(stars + "\n" + columns + "\n" + stars + "\n"), log());
}

TEST_F(EnabledLoggerTest, RowsOfCorrectAndErroneousOperationsAreFlushedAtOnce) {
    unsigned char* p = arena.add(16, ZKMemStats::ScalarBlock, 7);
    const ZKMemStats::BlockHeader* h = BlockArena::header(p);
    ASSERT_EQ(1, logger.startLogging(path.c_str()));
    EXPECT_EQ(1, logger.logAllocation(ZKMemStats::ScalarBlock, p, h, 0));
    EXPECT_EQ(1, logger.logAllocation(ZKMemStats::ArrayBlock, p, h, 0));
    EXPECT_EQ(1, logger.logDeallocation(ZKMemStats::ScalarBlock, p, h, ZKMemStats::DoubleDelete));
    EXPECT_EQ(1, logger.logDeallocation(ZKMemStats::ArrayBlock, p, h, ZKMemStats::InvalidTrailer));
    const std::string expected = tableHead() + row("new", p, 16, 7, "") +
                                 row("new[]", p, 16, 7, "") +
                                 row("delete", p, 16, 7, "*** Double Delete ***") +
                                 row("delete[]", p, 16, 7, "*** Invalid Trailer ***");
    EXPECT_EQ(asWritten(expected), log()); // still open: every row is flushed
    // The documented sample rows, spelled out.
    const std::string digits = hexAddress(p).substr(2);
    EXPECT_NE(std::string::npos, log().find("      new | 0x" + digits +
                                            " |       16 |        7 | " + asWritten("\n")));
    EXPECT_NE(std::string::npos, log().find(" delete[] | 0x" + digits +
                                            " |       16 |        7 | *** Invalid Trailer ***"));
}

TEST_F(EnabledLoggerTest, ErrorTextsNameTheHighestBit) {
    unsigned char* p = arena.add(4, ZKMemStats::ArrayBlock, -3);
    const ZKMemStats::BlockHeader* h = BlockArena::header(p);
    ASSERT_EQ(1, logger.startLogging(path.c_str()));
    const struct {
        unsigned long error;
        const char* text;
    } cases[] = {
        {0x1, "*** Invalid Header ***"},
        {0x3, "*** Invalid Trailer ***"},
        {0x4, "*** Alloc/Dealloc Mismatch ***"},
        {0x8, "*** Allocation Failure ***"},
        {0x10, "*** Stray Delete ***"},
        {0x40, "*** Unknown Failure ***"},
        {0x20000000, "*** Unknown Failure ***"},
        {0x40000000, "*** User Reqeusted Failure Before Allocation ***"},
        {0x80000000, "*** User Reqeusted Failure After Allocation ***"},
        {0xffffffff, "*** User Reqeusted Failure After Allocation ***"},
    };
    std::string expected = tableHead();
    for (const auto& c : cases) {
        EXPECT_EQ(1, logger.logDeallocation(ZKMemStats::ArrayBlock, p, h, c.error));
        expected += row("delete[]", p, 4, -3, c.text);
    }
    logger.stopLogging();
    EXPECT_EQ(asWritten(expected), log());
}

TEST_F(EnabledLoggerTest, NullHeaderGivesSizeAndSequenceZero) {
    int object = 0;
    ASSERT_EQ(1, logger.startLogging(path.c_str()));
    EXPECT_EQ(1, logger.logDeallocation(ZKMemStats::ScalarBlock, &object, nullptr,
                                        ZKMemStats::StrayDelete));
    EXPECT_EQ(1, logger.logOperation("free", nullptr, nullptr, 0));
    logger.stopLogging();
    EXPECT_EQ(asWritten(tableHead() + row("delete", &object, 0, 0, "*** Stray Delete ***") +
                        row("free", nullptr, 0, 0, "")),
              log());
}

TEST_F(EnabledLoggerTest, OnlyErrorsSkipsCorrectOperations) {
    unsigned char* p = arena.add(8, ZKMemStats::ScalarBlock, 1);
    const ZKMemStats::BlockHeader* h = BlockArena::header(p);
    ASSERT_EQ(1, logger.startLogging(path.c_str()));
    logger.logOnlyErrors();
    EXPECT_EQ(0, logger.logAllocation(ZKMemStats::ScalarBlock, p, h, 0));
    EXPECT_EQ(1, logger.logDeallocation(ZKMemStats::ScalarBlock, p, h, ZKMemStats::DoubleDelete));
    logger.logAll();
    EXPECT_EQ(1, logger.logAllocation(ZKMemStats::ScalarBlock, p, h, 0));
    logger.stopLogging();
    EXPECT_EQ(asWritten(tableHead() + row("delete", p, 8, 1, "*** Double Delete ***") +
                        row("new", p, 8, 1, "")),
              log());
}

// User bytes with characters that print and bytes that do not, 0x80 and
// above among them.
const unsigned char kMixedBytes[16] = {'A',  'B',  'C',  'D', 'E', 'F',  'G',  'H',
                                       0x80, 0xff, 0x00, ' ', '~', 0x7f, 0x1f, 'z'};

TEST_F(EnabledLoggerTest, DumpsFollowHeaderAndTrailerErrorsOnly) {
    unsigned char* p = arena.add(20, ZKMemStats::ArrayBlock, 12);
    std::memcpy(p, kMixedBytes, 16);
    const ZKMemStats::BlockHeader* h = BlockArena::header(p);
    ASSERT_EQ(1, logger.startLogging(path.c_str()));
    logger.logCorruptedDumps();
    EXPECT_EQ(1, logger.logDeallocation(ZKMemStats::ArrayBlock, p, h, 3));
    EXPECT_EQ(1, logger.logDeallocation(ZKMemStats::ArrayBlock, p, h, ZKMemStats::StrayDelete));
    EXPECT_EQ(1, logger.logDeallocation(ZKMemStats::ArrayBlock, p, h, ZKMemStats::InvalidHeader));
    EXPECT_EQ(1, logger.logAllocation(ZKMemStats::ArrayBlock, p, h, 0));
    logger.stopLogging();
    const std::string expected =
        tableHead() + row("delete[]", p, 20, 12, "*** Invalid Trailer ***") + headerDump(p) +
        trailerDump(p, 20) + row("delete[]", p, 20, 12, "*** Stray Delete ***") +
        row("delete[]", p, 20, 12, "*** Invalid Header ***") + headerDump(p) +
        row("new[]", p, 20, 12, "");
    EXPECT_EQ(asWritten(expected), log());
    // Two dump lines spelled out: 78 characters each after the address.
    EXPECT_NE(std::string::npos,
              log().find(hexAddress(p - 16) +
                         "  47 47 47 47 47 47 47 47  47 47 47 47 47 47 47 47  GGGGGGGGGGGGGGGG" +
                         asWritten("\n")));
    EXPECT_NE(std::string::npos,
              log().find(hexAddress(p) +
                         "  41 42 43 44 45 46 47 48  80 FF 00 20 7E 7F 1F 7A  ABCDEFGH... ~..z" +
                         asWritten("\n")));
}

TEST_F(EnabledLoggerTest, DumpLinesWritesSixteenBytesALine) {
    unsigned char bytes[48];
    for (int i = 0; i < 48; ++i)
        bytes[i] = static_cast<unsigned char>(0xa0 + i);
    ASSERT_EQ(1, logger.startLogging(path.c_str()));
    EXPECT_EQ(1, logger.dumpLines(bytes, 0));
    EXPECT_EQ(1, logger.dumpLines(bytes, 3));
    logger.stopLogging();
    EXPECT_EQ(
        asWritten(tableHead() + dumpLine(bytes) + dumpLine(bytes + 16) + dumpLine(bytes + 32)),
        log());
}

TEST_F(EnabledLoggerTest, SameNameTwiceKeepsTheFileAndANewNameClosesIt) {
    const std::string second = dir.file("second.log");
    ASSERT_EQ(1, logger.startLogging(path.c_str()));
    logger.logAllocation(ZKMemStats::ScalarBlock, nullptr, nullptr, 0);
    EXPECT_EQ(1, logger.startLogging(path.c_str()));
    logger.logAllocation(ZKMemStats::ArrayBlock, nullptr, nullptr, 0);
    EXPECT_EQ(1, logger.startLogging(second.c_str()));
    // The first file is complete and closed before the second is written.
    EXPECT_EQ(
        asWritten(tableHead() + row("new", nullptr, 0, 0, "") + row("new[]", nullptr, 0, 0, "")),
        log());
    logger.logDeallocation(ZKMemStats::ScalarBlock, nullptr, nullptr, 0);
    logger.stopLogging();
    EXPECT_EQ(asWritten(tableHead() + row("delete", nullptr, 0, 0, "")), readFile(second));
    // Started again after a stop, the same name is a new file.
    ASSERT_EQ(1, logger.startLogging(path.c_str()));
    logger.stopLogging();
    EXPECT_EQ(asWritten(tableHead()), log());
}

TEST_F(EnabledLoggerTest, RefusedNamesLeaveTheLoggerClosed) {
    ASSERT_EQ(1, logger.startLogging(path.c_str()));
    logger.logAllocation(ZKMemStats::ScalarBlock, nullptr, nullptr, 0);
    // 512 characters do not fit the name's 511 and the terminator.
    const std::string tooLong = dir.path() + "/" + std::string(511 - dir.path().size(), 'n');
    ASSERT_EQ(512u, tooLong.size());
    EXPECT_EQ(0, logger.startLogging(tooLong.c_str()));
    EXPECT_EQ(0, logger.isLogging());
    EXPECT_EQ(asWritten(tableHead() + row("new", nullptr, 0, 0, "")), log());
    EXPECT_FALSE(fileExists(tooLong));

    const std::string missingDir = dir.file("no-such-dir/mem.log");
    EXPECT_EQ(0, logger.startLogging(missingDir.c_str()));
    EXPECT_EQ(0, logger.isLogging());
    EXPECT_EQ(0, logger.startLogging(nullptr));
    EXPECT_EQ(0, logger.isLogging());
    // Closed, the logger writes no row.
    EXPECT_EQ(0, logger.logAllocation(ZKMemStats::ScalarBlock, nullptr, nullptr, 0));
    EXPECT_EQ(0, logger.logOperation("new", nullptr, nullptr, ZKMemStats::StrayDelete));
}

TEST_F(EnabledLoggerTest, SettingsOutliveClosingAndReopening) {
    const std::string second = dir.file("second.log");
    unsigned char* p = arena.add(16, ZKMemStats::ScalarBlock, 2);
    const ZKMemStats::BlockHeader* h = BlockArena::header(p);
    ASSERT_EQ(1, logger.startLogging(path.c_str()));
    logger.logOnlyErrors();
    logger.logCorruptedDumps();
    logger.stopLogging();
    ASSERT_EQ(1, logger.startLogging(second.c_str()));
    EXPECT_EQ(0, logger.logAllocation(ZKMemStats::ScalarBlock, p, h, 0));
    EXPECT_EQ(1, logger.logDeallocation(ZKMemStats::ScalarBlock, p, h, ZKMemStats::InvalidHeader));
    logger.logAll(); // does not switch dumps off
    EXPECT_EQ(1, logger.logDeallocation(ZKMemStats::ScalarBlock, p, h, ZKMemStats::InvalidHeader));
    logger.stopLogging();
    const std::string damaged = row("delete", p, 16, 2, "*** Invalid Header ***") + headerDump(p);
    EXPECT_EQ(asWritten(tableHead() + damaged + damaged), readFile(second));
}

TEST(DisabledLoggerTest, IgnoresEverything) {
    zktest_support::TempDir dir;
    const std::string path = dir.file("never.log");
    ZKDisabledLogger logger;
    ZKStatsLoggerInterface& base = logger;
    EXPECT_EQ(0, base.startLogging(path.c_str()));
    EXPECT_EQ(0, base.startLogging(nullptr));
    base.logAll();
    base.logOnlyErrors();
    base.logCorruptedDumps();
    EXPECT_EQ(0, base.logAllocation(0, nullptr, nullptr, 0));
    EXPECT_EQ(0, base.logDeallocation(1, nullptr, nullptr, ZKMemStats::StrayDelete));
    EXPECT_EQ(0, base.isLogging());
    EXPECT_EQ(0, base.stopLogging());
    EXPECT_FALSE(fileExists(path));
}

ZKTEST_CHILD_SCENARIO(log_to_standard_error) {
    ZKEnabledLogger logger;
    if (logger.startLogging("/dev/stderr") != 1)
        return 2;
    logger.logDeallocation(ZKMemStats::ScalarBlock, nullptr, nullptr, ZKMemStats::StrayDelete);
    logger.stopLogging();
    // The standard error stream is flushed but stays open.
    std::fputs("still open\n", stderr);
    return logger.isLogging();
}

TEST(EnabledLoggerStreamsTest, StandardErrorIsWrittenButNeverClosed) {
    auto result = zktest_support::runChild("log_to_standard_error");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ(asWritten(tableHead() + row("delete", nullptr, 0, 0, "*** Stray Delete ***") +
                        "still open\n"),
              result.err);
}

// ---- logging control through the instance -------------------------------

class LoggingControlTest : public testing::Test {
protected:
    void SetUp() override { stats = ZKMemStats::instance(); }
    void TearDown() override {
        stats->stopLogging();
        stats->imp->enabledLogger->logAll();
    }

    ZKMemStats* stats = nullptr;
    zktest_support::TempDir dir;
    BlockArena arena;
};

TEST_F(LoggingControlTest, StartAndStopSwitchTheCurrentLogger) {
    ZKMemStatsImp* imp = stats->imp;
    const std::string path = dir.file("mem.log");
    EXPECT_EQ(1, stats->startLogging(path.c_str()));
    EXPECT_EQ(imp->enabledLogger, imp->currentLogger);
    EXPECT_EQ(1, stats->startLogging(path.c_str()));
    EXPECT_EQ(0, stats->startLogging(dir.file("missing/mem.log").c_str()));
    EXPECT_EQ(imp->disabledLogger, imp->currentLogger);
    EXPECT_EQ(0, imp->enabledLogger->isLogging());
    EXPECT_EQ(asWritten(tableHead()), readFile(path));
    EXPECT_EQ(1, stats->startLogging(path.c_str()));
    stats->stopLogging();
    EXPECT_EQ(imp->disabledLogger, imp->currentLogger);
    EXPECT_EQ(0, imp->enabledLogger->isLogging());
}

TEST_F(LoggingControlTest, ModesGoToTheCurrentLoggerAndSurviveAStop) {
    ZKMemStatsImp* imp = stats->imp;
    unsigned char* p = arena.add(16, ZKMemStats::ScalarBlock, 5);
    const ZKMemStats::BlockHeader* h = BlockArena::header(p);
    const std::string path = dir.file("mem.log");
    stats->logOnlyErrors(); // logging is off: no effect
    ASSERT_EQ(1, stats->startLogging(path.c_str()));
    EXPECT_EQ(1, imp->currentLogger->logAllocation(ZKMemStats::ScalarBlock, p, h, 0));
    stats->logOnlyErrors();
    stats->stopLogging();
    ASSERT_EQ(1, stats->startLogging(path.c_str()));
    EXPECT_EQ(0, imp->currentLogger->logAllocation(ZKMemStats::ScalarBlock, p, h, 0));
    stats->logAll();
    EXPECT_EQ(1, imp->currentLogger->logAllocation(ZKMemStats::ScalarBlock, p, h, 0));
    stats->stopLogging();
    EXPECT_EQ(asWritten(tableHead() + row("new", p, 16, 5, "")), readFile(path));
}

} // namespace
