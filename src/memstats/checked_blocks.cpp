// SPDX-License-Identifier: MIT
// Checked blocks and statistics: the error-name table, the block table with
// statusOf and the iteration, the counters and their accessors, the error
// handlers, the checked allocator's hooks, ZKMemStatsImp and the
// pass-through allocation entry points.
//
// Only ZKMemStats::reset takes the facility's lock. The table, its iteration
// cursor and the counters are read and written without it: whatever fills
// the table serialises its own calls.
#include "zkmemstats.h"

#include "memstats/allocator_hooks.h"
#include "memstats/memstats_internal.h"

#include <cstdlib>
#include <cstring>

static_assert(offsetof(ZKMemStats::BlockHeader, kind) == 0, "header layout");
static_assert(offsetof(ZKMemStats::BlockHeader, size) == 4, "header layout");
static_assert(offsetof(ZKMemStats::BlockHeader, address) == 8, "header layout");
static_assert(offsetof(ZKMemStats::BlockHeader, sequence) == 8 + sizeof(void*), "header layout");
// 32-bit builds: a 16-byte header at U-64 and 112 bytes around the caller's
// area. 64-bit builds: the wider address makes it 24 bytes at U-72, 120 around.
static_assert(sizeof(void*) != 4 ||
                  (sizeof(ZKMemStats::BlockHeader) == 16 && ZKMemStats::kHeaderOffset == 64 &&
                   ZKMemStats::kBlockOverhead == 112),
              "32-bit checked-block layout");
static_assert(sizeof(void*) != 8 ||
                  (sizeof(ZKMemStats::BlockHeader) == 24 && ZKMemStats::kHeaderOffset == 72 &&
                   ZKMemStats::kBlockOverhead == 120),
              "64-bit checked-block layout");
static_assert(sizeof(long) * ZKMemStatsImp::kCounterCount == sizeof(ZKMemStatsImp::counters),
              "counter table");

namespace zkqe {

const char errorNames[kErrorNameRows][kErrorNameSize] = {
    "No Error",
    "Invalid Header",
    "Invalid Trailer",
    "Alloc/Dealloc Mismatch",
    "Allocation Failure",
    "Stray Delete",
    "Double Delete",
    "Unknown Failure", // bits 6 to 29 have no error of their own
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "Unknown Failure",
    "User Reqeusted Failure Before Allocation",
    "User Reqeusted Failure After Allocation",
};

namespace {

// Row 0 for 0, otherwise the row of the highest set bit: the same for the
// names and the handlers.
int errorRow(unsigned long value) {
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    int row = 0;
    while (bits != 0) {
        ++row;
        bits >>= 1;
    }
    return row;
}

} // namespace

const char* errorName(unsigned long value) {
    return errorNames[errorRow(value)];
}

} // namespace zkqe

namespace {

using BlockTable = ZKMemStatsImp::BlockTable;
using BlockEntry = ZKMemStatsImp::BlockEntry;

// The checked allocator's index of its blocks, once it lends it; until then
// the sorted table is the truth.
const zktest::allocator_hooks::BlockIndex* lentIndex = nullptr;

std::uintptr_t addressOf(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

// The entry for p, or null. The iteration's current entry is tried first, as
// it is usually the block being checked.
const BlockEntry* findEntry(const BlockTable& table, const void* p) {
    if (table.entries == nullptr)
        return nullptr;
    if (table.cursor != ZKMemStatsImp::kNoCursor && table.cursor < table.count &&
        table.entries[table.cursor].address == p)
        return &table.entries[table.cursor];
    // First entry whose address is not less than p.
    std::uint32_t low = 0;
    std::uint32_t high = table.count;
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        if (addressOf(table.entries[middle].address) < addressOf(p))
            low = middle + 1;
        else
            high = middle;
    }
    if (low < table.count && table.entries[low].address == p)
        return &table.entries[low];
    return nullptr;
}

// Both guards side by side: the leading one is compared with the first
// half, the trailing one with the second.
const unsigned char kGuardPattern[2 * ZKMemStats::kGuardSize] = {
#define ZKQE_GUARD8_ 'G', 'G', 'G', 'G', 'G', 'G', 'G', 'G'
    ZKQE_GUARD8_, ZKQE_GUARD8_, ZKQE_GUARD8_, ZKQE_GUARD8_, ZKQE_GUARD8_, ZKQE_GUARD8_,
    ZKQE_GUARD8_, ZKQE_GUARD8_, ZKQE_GUARD8_, ZKQE_GUARD8_, ZKQE_GUARD8_, ZKQE_GUARD8_,
#undef ZKQE_GUARD8_
};
static_assert(sizeof kGuardPattern == 96 && ZKMemStats::kGuardByte == 'G', "guard pattern");

// Moves the cursor to the next live entry at or after it; null at the end.
void* advance(BlockTable& table) {
    while (table.cursor < table.count && table.entries[table.cursor].state <= 0)
        ++table.cursor;
    if (table.cursor >= table.count) {
        table.cursor = ZKMemStatsImp::kNoCursor;
        return nullptr;
    }
    return table.entries[table.cursor].address;
}

} // namespace

// ---- ZKMemStats: blocks -------------------------------------------------

int ZKMemStats::ignoreError(ReportableErrors, const char*) {
    return 0;
}

int ZKMemStats::abortOnError(ReportableErrors, const char*) {
    std::abort();
}

ZKMemStats::ReportableErrors ZKMemStats::statusOf(void* p) const {
    if (lentIndex != nullptr) {
        if (!lentIndex->isLive(p))
            return StrayDelete;
    } else {
        const BlockEntry* entry = findEntry(imp->blockTable, p);
        if (entry == nullptr || entry->state <= 0)
            return StrayDelete;
    }
    return zktest::allocator_hooks::checkLiveBlock(p);
}

void* ZKMemStats::first() const {
    BlockTable& table = imp->blockTable;
    if (lentIndex != nullptr)
        lentIndex->sortTable(table);
    if (table.entries == nullptr)
        return nullptr;
    table.cursor = 0;
    return advance(table);
}

void* ZKMemStats::next() const {
    BlockTable& table = imp->blockTable;
    if (table.entries == nullptr || table.cursor == ZKMemStatsImp::kNoCursor)
        return nullptr;
    ++table.cursor;
    return advance(table);
}

// ---- ZKMemStats: counters and handlers ----------------------------------

long ZKMemStats::leakedBlocks() const {
    return imp->counters[ZKMemStatsImp::LeakedBlocksCounter];
}
long ZKMemStats::leakedBytes() const {
    return imp->counters[ZKMemStatsImp::LeakedBytesCounter];
}
long ZKMemStats::mismatchedBlocks() const {
    return imp->counters[ZKMemStatsImp::MismatchedBlocksCounter];
}
long ZKMemStats::totalAllocations() const {
    return imp->counters[ZKMemStatsImp::TotalAllocationsCounter];
}
long ZKMemStats::totalDeallocations() const {
    return imp->counters[ZKMemStatsImp::TotalDeallocationsCounter];
}
long ZKMemStats::newCalls() const {
    return imp->counters[ZKMemStatsImp::NewCallsCounter];
}
long ZKMemStats::arrayNewCalls() const {
    return imp->counters[ZKMemStatsImp::ArrayNewCallsCounter];
}
long ZKMemStats::deleteCalls() const {
    return imp->counters[ZKMemStatsImp::DeleteCallsCounter];
}
long ZKMemStats::arrayDeleteCalls() const {
    return imp->counters[ZKMemStatsImp::ArrayDeleteCallsCounter];
}
long ZKMemStats::largestRequest() const {
    return imp->counters[ZKMemStatsImp::LargestRequestCounter];
}
long ZKMemStats::strayDeleteCalls() const {
    return imp->counters[ZKMemStatsImp::StrayDeleteCallsCounter];
}
long ZKMemStats::doubleDeleteCalls() const {
    return imp->counters[ZKMemStatsImp::DoubleDeleteCallsCounter];
}

void ZKMemStats::setErrorHandler(unsigned long mask, ErrorHandler handler) {
    for (int k = 1; k < ZKMemStatsImp::kErrorHandlerCount; ++k)
        if ((mask >> (k - 1)) & 1ul)
            imp->errorHandlers[k] = handler;
}

void ZKMemStats::reset() {
    ZKQEMutexGuard guard(imp->mutex);
    imp->reset();
}

// ---- ZKMemStats: pass-through allocation --------------------------------

void* ZKMemStats::allocateNormalBlock(unsigned int size) {
    return std::malloc(size);
}

void* ZKMemStats::allocateArrayBlock(unsigned int size) {
    return std::malloc(size);
}

void ZKMemStats::deallocateNormalBlock(void* p) {
    std::free(p);
}

void ZKMemStats::deallocateArrayBlock(void* p) {
    std::free(p);
}

// ---- the checked allocator's hooks -------------------------------------

namespace zktest::allocator_hooks {

void lendBlockIndex(const BlockIndex* index) {
    lentIndex = index;
}

int callHandler(ZKMemStatsImp& imp, ZKMemStats::ReportableErrors error) {
    const int row = zkqe::errorRow(error);
    return imp.errorHandlers[row](error, zkqe::errorNames[row]);
}

ZKMemStats::ReportableErrors checkLiveBlock(const void* p) {
    const auto* user = static_cast<const unsigned char*>(p);
    ZKMemStats::BlockHeader header;
    std::memcpy(&header, user - ZKMemStats::kHeaderOffset, sizeof header);
    if ((header.kind != ZKMemStats::ScalarBlock && header.kind != ZKMemStats::ArrayBlock) ||
        header.address != p)
        return ZKMemStats::InvalidHeader;
    if (std::memcmp(user - ZKMemStats::kGuardSize, kGuardPattern, ZKMemStats::kGuardSize) != 0)
        return ZKMemStats::InvalidHeader;
    if (std::memcmp(user + header.size, kGuardPattern + ZKMemStats::kGuardSize,
                    ZKMemStats::kGuardSize) != 0)
        return ZKMemStats::InvalidTrailer;
    return ZKMemStats::NoError;
}

} // namespace zktest::allocator_hooks

// ---- ZKMemStatsImp ------------------------------------------------------

ZKMemStatsImp::ZKMemStatsImp() : mutex() {
    for (auto& handler : errorHandlers)
        handler = ZKMemStats::ignoreError;
    // calloc gives the zeroed first array; without it the table stays empty.
    blockTable.entries =
        static_cast<BlockEntry*>(std::calloc(kInitialCapacity, sizeof(BlockEntry)));
    blockTable.count = 0;
    blockTable.capacity = blockTable.entries != nullptr ? std::uint32_t{kInitialCapacity} : 0u;
    blockTable.cursor = kNoCursor;
    enabledLogger = zkqe::theEnabledLogger();
    disabledLogger = zkqe::theDisabledLogger();
    currentLogger = disabledLogger;
    reset();
}

ZKMemStatsImp::~ZKMemStatsImp() {
    std::free(blockTable.entries);
    blockTable.entries = nullptr;
    blockTable.count = 0;
    blockTable.capacity = 0;
}

void ZKMemStatsImp::reset() {
    for (long& counter : counters)
        counter = 0;
}

void* ZKMemStatsImp::allocateBlock(unsigned int size, unsigned int, long&) {
    return std::malloc(size);
}

void ZKMemStatsImp::deallocateBlock(void* p, unsigned int, long&) {
    std::free(p);
}
