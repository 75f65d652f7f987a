// Checked blocks, the block table, iteration, counters, error handlers and
// the implementation object, seen through the exported interface.
#include "checked_block_builder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <type_traits>

// Copying would share the table's array; the type refuses it.
static_assert(!std::is_copy_constructible_v<ZKMemStatsImp>);
static_assert(!std::is_copy_assignable_v<ZKMemStatsImp>);

namespace {

using memstats_test::BlockArena;
using memstats_test::setTable;

class BlockTableTest : public testing::Test {
protected:
    void SetUp() override {
        stats = ZKMemStats::instance();
        memstats_test::clearTable(stats);
    }
    void TearDown() override { memstats_test::clearTable(stats); }

    ZKMemStats* stats = nullptr;
    BlockArena arena;
};

TEST_F(BlockTableTest, IntactBlocksOfBothKindsCheckAsNoError) {
    unsigned char* scalar = arena.add(16, ZKMemStats::ScalarBlock, 7);
    unsigned char* array = arena.add(5, ZKMemStats::ArrayBlock, 8);
    unsigned char* empty = arena.add(0, ZKMemStats::ScalarBlock, 9);
    setTable(stats, {{scalar, 1}, {array, 1}, {empty, 3}});
    EXPECT_EQ(ZKMemStats::NoError, stats->statusOf(scalar));
    EXPECT_EQ(ZKMemStats::NoError, stats->statusOf(array));
    EXPECT_EQ(ZKMemStats::NoError, stats->statusOf(empty));
}

TEST_F(BlockTableTest, OnlyHeaderFieldsAndGuardsAreChecked) {
    unsigned char* p = arena.add(16);
    setTable(stats, {{p, 1}});
    p[0] = 0; // the caller's own bytes
    p[15] = 0xff;
    p[16 + 48] = 0;                    // the first byte past the trailing guard
    const std::int32_t sequence = -99; // the sequence number is not checked
    std::memcpy(p - memstats_test::kHeaderAt + memstats_test::kSequenceAt, &sequence, 4);
    EXPECT_EQ(ZKMemStats::NoError, stats->statusOf(p));
}

TEST_F(BlockTableTest, DamagedLeadingGuardIsAnInvalidHeader) {
    for (std::size_t offset : {std::size_t{48}, std::size_t{1}}) {
        SCOPED_TRACE(offset);
        BlockArena local;
        unsigned char* p = local.add(16);
        setTable(stats, {{p, 1}});
        p[-static_cast<std::ptrdiff_t>(offset)] = 'g';
        EXPECT_EQ(ZKMemStats::InvalidHeader, stats->statusOf(p));
    }
}

TEST_F(BlockTableTest, BadKindOrAddressFieldIsAnInvalidHeader) {
    unsigned char* badKind = arena.add(8);
    unsigned char* badAddress = arena.add(8);
    setTable(stats, {{badKind, 1}, {badAddress, 1}});
    BlockArena::setKind(badKind, 2);
    BlockArena::setAddressField(badAddress, badAddress + 1);
    EXPECT_EQ(ZKMemStats::InvalidHeader, stats->statusOf(badKind));
    EXPECT_EQ(ZKMemStats::InvalidHeader, stats->statusOf(badAddress));
}

TEST_F(BlockTableTest, DamagedTrailingGuardIsAnInvalidTrailer) {
    for (std::size_t offset : {std::size_t{0}, std::size_t{47}}) {
        SCOPED_TRACE(offset);
        BlockArena local;
        unsigned char* p = local.add(24);
        setTable(stats, {{p, 1}});
        p[24 + offset] = 0x80;
        EXPECT_EQ(ZKMemStats::InvalidTrailer, stats->statusOf(p));
    }
}

TEST_F(BlockTableTest, HeaderAndTrailerBothDamagedReportsTheHeader) {
    unsigned char* p = arena.add(16);
    setTable(stats, {{p, 1}});
    p[-1] = 0;
    p[16] = 0;
    EXPECT_EQ(ZKMemStats::InvalidHeader, stats->statusOf(p));
}

TEST_F(BlockTableTest, UnknownDeadAndNullPointersAreStrayDeletes) {
    unsigned char* dead = arena.add(16);
    unsigned char* freed = arena.add(16);
    unsigned char* live = arena.add(16);
    unsigned char* unknown = arena.add(16);
    setTable(stats, {{dead, 0}, {freed, -1}, {live, 1}});
    EXPECT_EQ(ZKMemStats::StrayDelete, stats->statusOf(dead));
    EXPECT_EQ(ZKMemStats::StrayDelete, stats->statusOf(freed));
    EXPECT_EQ(ZKMemStats::NoError, stats->statusOf(live));
    EXPECT_EQ(ZKMemStats::StrayDelete, stats->statusOf(unknown));  // above every entry
    EXPECT_EQ(ZKMemStats::StrayDelete, stats->statusOf(live + 1)); // between entries
    EXPECT_EQ(ZKMemStats::StrayDelete, stats->statusOf(nullptr));
    memstats_test::clearTable(stats);
    EXPECT_EQ(ZKMemStats::StrayDelete, stats->statusOf(live));
}

TEST_F(BlockTableTest, BinarySearchFindsEveryEntryOfALargeTable) {
    BlockArena big(200 * (16 + 200));
    std::vector<unsigned char*> blocks;
    for (int i = 0; i < 199; ++i)
        blocks.push_back(big.add(static_cast<std::uint32_t>(i % 17), i % 2, i));
    ZKMemStatsImp::BlockTable& table = stats->imp->blockTable;
    for (std::size_t i = 0; i < blocks.size(); ++i)
        table.entries[i] = {blocks[i], 1};
    table.count = static_cast<std::uint32_t>(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        ASSERT_EQ(ZKMemStats::NoError, stats->statusOf(blocks[i])) << i;
        ASSERT_EQ(ZKMemStats::StrayDelete, stats->statusOf(blocks[i] - 1)) << i;
    }
}

TEST_F(BlockTableTest, IterationVisitsLiveEntriesInOrderAndStopsAtTheEnd) {
    unsigned char* a = arena.add(1);
    unsigned char* b = arena.add(1);
    unsigned char* c = arena.add(1);
    unsigned char* d = arena.add(1);
    unsigned char* e = arena.add(1);
    setTable(stats, {{a, 1}, {b, 0}, {c, -3}, {d, 2}, {e, 1}});
    EXPECT_EQ(a, stats->first());
    EXPECT_EQ(d, stats->next());
    EXPECT_EQ(e, stats->next());
    EXPECT_EQ(nullptr, stats->next());
    EXPECT_EQ(ZKMemStatsImp::kNoCursor, stats->imp->blockTable.cursor);
    EXPECT_EQ(nullptr, stats->next());
    EXPECT_EQ(a, stats->first()); // restarts
    EXPECT_EQ(d, stats->next());
}

TEST_F(BlockTableTest, IterationOverAnEmptyOrDeadTableYieldsNothing) {
    EXPECT_EQ(nullptr, stats->next());
    EXPECT_EQ(nullptr, stats->first());
    EXPECT_EQ(nullptr, stats->next());
    unsigned char* a = arena.add(1);
    unsigned char* b = arena.add(1);
    setTable(stats, {{a, 0}, {b, 0}});
    EXPECT_EQ(nullptr, stats->first());
    EXPECT_EQ(nullptr, stats->next());
    setTable(stats, {{a, 0}, {b, 1}});
    EXPECT_EQ(b, stats->first());
    EXPECT_EQ(nullptr, stats->next());
}

TEST_F(BlockTableTest, TheIterationsCurrentEntryIsFoundWithoutASearch) {
    // Entries out of order on purpose: the search cannot find `middle`, only
    // the cursor that the iteration left on it can.
    unsigned char* low = arena.add(4);
    unsigned char* middle = arena.add(4);
    unsigned char* high = arena.add(4);
    setTable(stats, {{low, 1}, {high, 1}, {middle, 1}});
    EXPECT_EQ(ZKMemStats::StrayDelete, stats->statusOf(middle));
    EXPECT_EQ(low, stats->first());
    EXPECT_EQ(high, stats->next());
    EXPECT_EQ(middle, stats->next());
    EXPECT_EQ(ZKMemStats::NoError, stats->statusOf(middle));
    EXPECT_EQ(low, stats->first());
    EXPECT_EQ(ZKMemStats::StrayDelete, stats->statusOf(middle));
}

// ---- counters and handlers ----------------------------------------------

int otherHandler(ZKMemStats::ReportableErrors, const char*) {
    return 1;
}

class StatisticsTest : public testing::Test {
protected:
    void SetUp() override { stats = ZKMemStats::instance(); }
    void TearDown() override {
        stats->setErrorHandler(~0ul, ZKMemStats::ignoreError);
        stats->reset();
    }
    ZKMemStats* stats = nullptr;
};

TEST_F(StatisticsTest, EachAccessorReadsItsCounter) {
    for (int i = 0; i < ZKMemStatsImp::kCounterCount; ++i)
        stats->imp->counters[i] = 100 + i;
    EXPECT_EQ(100, stats->leakedBlocks());
    EXPECT_EQ(101, stats->leakedBytes());
    EXPECT_EQ(102, stats->mismatchedBlocks());
    EXPECT_EQ(103, stats->totalAllocations());
    EXPECT_EQ(104, stats->totalDeallocations());
    EXPECT_EQ(105, stats->newCalls());
    EXPECT_EQ(106, stats->arrayNewCalls());
    EXPECT_EQ(107, stats->deleteCalls());
    EXPECT_EQ(108, stats->arrayDeleteCalls());
    EXPECT_EQ(109, stats->largestRequest());
    EXPECT_EQ(110, stats->strayDeleteCalls());
    EXPECT_EQ(111, stats->doubleDeleteCalls());
    stats->reset();
    for (int i = 0; i < ZKMemStatsImp::kCounterCount; ++i)
        EXPECT_EQ(0, stats->imp->counters[i]) << i;
    EXPECT_EQ(0, stats->leakedBlocks());
    EXPECT_EQ(0, stats->doubleDeleteCalls());
}

TEST_F(StatisticsTest, ResetWaitsForTheFacilitysLock) {
    stats->imp->counters[3] = 5;
    std::atomic<bool> done{false};
    stats->imp->mutex.acquire();
    std::thread resetter([&] {
        stats->reset();
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done);
    EXPECT_EQ(5, stats->totalAllocations());
    stats->imp->mutex.release();
    resetter.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(0, stats->totalAllocations());
}

TEST_F(StatisticsTest, PassThroughAllocationMovesNothing) {
    stats->reset();
    long sequence = 42;
    void* p = stats->imp->allocateBlock(64, ZKMemStats::ArrayBlock, sequence);
    ASSERT_NE(nullptr, p);
    std::memset(p, 0xab, 64);
    stats->imp->deallocateBlock(p, ZKMemStats::ScalarBlock, sequence);
    EXPECT_EQ(42, sequence);
    EXPECT_EQ(0, stats->totalAllocations());
    EXPECT_EQ(0, stats->totalDeallocations());
    EXPECT_EQ(0, stats->largestRequest());
    EXPECT_EQ(nullptr, stats->first());
}

TEST_F(StatisticsTest, ErrorHandlerMaskSelectsEntriesByBit) {
    ZKMemStatsImp* imp = stats->imp;
    stats->setErrorHandler(0x3fffffff, otherHandler);
    EXPECT_EQ(ZKMemStats::ErrorHandler(ZKMemStats::ignoreError), imp->errorHandlers[0]);
    for (int k = 1; k <= 30; ++k)
        EXPECT_EQ(ZKMemStats::ErrorHandler(otherHandler), imp->errorHandlers[k]) << k;
    EXPECT_EQ(ZKMemStats::ErrorHandler(ZKMemStats::ignoreError), imp->errorHandlers[31]);
    EXPECT_EQ(ZKMemStats::ErrorHandler(ZKMemStats::ignoreError), imp->errorHandlers[32]);

    stats->setErrorHandler(0, ZKMemStats::ignoreError); // changes nothing
    EXPECT_EQ(ZKMemStats::ErrorHandler(otherHandler), imp->errorHandlers[1]);

    stats->setErrorHandler(0x80000000ul | 1ul, ZKMemStats::ignoreError);
    EXPECT_EQ(ZKMemStats::ErrorHandler(ZKMemStats::ignoreError), imp->errorHandlers[1]);
    EXPECT_EQ(ZKMemStats::ErrorHandler(otherHandler), imp->errorHandlers[2]);
    EXPECT_EQ(ZKMemStats::ErrorHandler(ZKMemStats::ignoreError), imp->errorHandlers[32]);

    stats->setErrorHandler(0x40000000ul, otherHandler);
    EXPECT_EQ(ZKMemStats::ErrorHandler(otherHandler), imp->errorHandlers[31]);
    EXPECT_EQ(ZKMemStats::ErrorHandler(ZKMemStats::ignoreError), imp->errorHandlers[32]);
    EXPECT_EQ(0, imp->errorHandlers[0](ZKMemStats::NoError, "text"));
}

// ---- the implementation object ------------------------------------------

TEST(MemStatsImpTest, ConstructionGivesAnEmptyTableQuietHandlersAndLoggingOff) {
    ZKMemStatsImp imp;
    EXPECT_EQ(1, imp.mutex.initialised);
    for (int k = 0; k < ZKMemStatsImp::kErrorHandlerCount; ++k)
        EXPECT_EQ(ZKMemStats::ErrorHandler(ZKMemStats::ignoreError), imp.errorHandlers[k]) << k;
    ASSERT_NE(nullptr, imp.blockTable.entries);
    EXPECT_EQ(1024u, imp.blockTable.capacity);
    EXPECT_EQ(0u, imp.blockTable.count);
    EXPECT_EQ(0xffffffffu, imp.blockTable.cursor);
    for (std::uint32_t i = 0; i < imp.blockTable.capacity; ++i) {
        ASSERT_EQ(nullptr, imp.blockTable.entries[i].address) << i;
        ASSERT_EQ(0, imp.blockTable.entries[i].state) << i;
    }
    for (long counter : imp.counters)
        EXPECT_EQ(0, counter);
    EXPECT_EQ(imp.disabledLogger, imp.currentLogger);
    EXPECT_NE(imp.disabledLogger, imp.enabledLogger);
    EXPECT_NE(nullptr, dynamic_cast<ZKEnabledLogger*>(imp.enabledLogger));
    EXPECT_NE(nullptr, dynamic_cast<ZKDisabledLogger*>(imp.disabledLogger));
    // One pair of loggers serves the process.
    EXPECT_EQ(ZKMemStats::instance()->imp->enabledLogger, imp.enabledLogger);
    EXPECT_EQ(ZKMemStats::instance()->imp->disabledLogger, imp.disabledLogger);
    imp.counters[31] = 9;
    imp.reset();
    EXPECT_EQ(0, imp.counters[31]);
}

} // namespace
