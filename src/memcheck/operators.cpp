// SPDX-License-Identifier: MIT
// The checked allocator: every global allocation and deallocation operator
// of the program, writing checked blocks, entering them into the block
// index that the memory-statistics instance borrows, moving its counters and
// calling its handlers and logger; failure injection, leak marks and the
// leak rows at exit.
//
// Invariants:
//  - Index, counters, allocation numbers and logger calls change only under
//    the facility's (recursive) lock; handlers run outside it, so a handler
//    may allocate.
//  - The pointer-sized word in front of a block's header holds what malloc
//    returned, so aligned blocks go back to the heap correctly.
//  - Nothing here allocates through the operators it defines: the index and
//    the sorted table grow with malloc.
//  - A released block's memory is held in a bounded quarantine (1,024 blocks
//    or 4 MiB) before it is freed, so its address is not reused at once.
#include "zkmemcheck.h"
#include "zkmemstats.h"

#include "memcheck/block_index.h"
#include "memstats/allocator_hooks.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

using Imp = ZKMemStatsImp;
using zkqe::BlockIndex;
namespace hooks = zktest::allocator_hooks;

zkqe::BlockIndex blocks;
bool tableSorted = true;
long allocationsMade = 0;
long failingAllocation = 0; // 0: none planned
bool failAfterAllocation = false;
std::atomic<ZKMemStats*> theStats{nullptr};

constexpr std::size_t kMinimumAlignment = alignof(std::max_align_t);

ZKMemStats* stats();

bool isLive(const void* p) {
    ZKQEMutexGuard guard(stats()->imp->mutex);
    const std::uintptr_t* slot = blocks.find(p);
    return slot != nullptr && BlockIndex::isLive(*slot);
}

void sortTable(Imp::BlockTable& table) {
    ZKQEMutexGuard guard(stats()->imp->mutex);
    if (tableSorted && table.entries != nullptr)
        return;
    const std::size_t live = blocks.liveCount();
    if (live > table.capacity) {
        void* grown = std::realloc(table.entries, live * sizeof(Imp::BlockEntry));
        if (grown == nullptr)
            return; // the iteration sees the table as it was
        table.entries = static_cast<Imp::BlockEntry*>(grown);
        table.capacity = static_cast<std::uint32_t>(live);
    }
    std::uint32_t count = 0;
    blocks.forEachLive([&](void* p) { table.entries[count++] = {p, 1}; });
    std::sort(table.entries, table.entries + count, [](const auto& a, const auto& b) {
        return reinterpret_cast<std::uintptr_t>(a.address) <
               reinterpret_cast<std::uintptr_t>(b.address);
    });
    table.count = count;
    table.cursor = Imp::kNoCursor;
    tableSorted = true;
}

const hooks::BlockIndex kIndex = {isLive, sortTable};

void reportLeaks();

ZKMemStats* stats() {
    if (ZKMemStats* known = theStats.load(std::memory_order_acquire))
        return known;
    // Before the instance exists, so that it writes no warning that the
    // operators are not replaced. A nested first call (the instance's own
    // configuration allocates) finds the instance made already.
    hooks::noteOperatorsReplaced();
    ZKMemStats* made = ZKMemStats::instance();
    ZKQEMutexGuard guard(made->imp->mutex);
    if (theStats.load(std::memory_order_relaxed) == nullptr) {
        hooks::lendBlockIndex(&kIndex);
        theStats.store(made, std::memory_order_release);
        // Registered at the first allocation, so it runs after the exit-time
        // work of everything that allocated later.
        std::atexit(reportLeaks);
    }
    return made;
}

std::uintptr_t addressOf(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

unsigned char* headerOf(void* p) {
    return static_cast<unsigned char*>(p) - ZKMemStats::kHeaderOffset;
}

ZKMemStats::BlockHeader readHeader(void* p) {
    ZKMemStats::BlockHeader header;
    std::memcpy(&header, headerOf(p), sizeof header);
    return header;
}

void* baseOf(void* p) {
    void* base;
    std::memcpy(&base, headerOf(p) - sizeof(void*), sizeof base);
    return base;
}

// Lays out the block of `number` in fresh heap memory; null when there is
// no memory for it. Under the lock.
void* writeBlock(Imp* imp, std::size_t size, std::size_t alignment, ZKMemStats::BlockKind kind,
                 long number) {
    const std::size_t extra = ZKMemStats::kBlockOverhead + sizeof(void*) + alignment;
    void* base = std::malloc(size + extra);
    if (base == nullptr)
        return nullptr;
    std::uintptr_t at = addressOf(base) + sizeof(void*) + ZKMemStats::kHeaderOffset;
    at = (at + alignment - 1) / alignment * alignment;
    auto* user = reinterpret_cast<unsigned char*>(at);
    if (!blocks.enterLive(user)) {
        std::free(base);
        return nullptr;
    }
    tableSorted = false;
    const ZKMemStats::BlockHeader header{kind, static_cast<std::uint32_t>(size), user,
                                         static_cast<std::int32_t>(number)};
    std::memcpy(headerOf(user) - sizeof(void*), &base, sizeof base);
    std::memcpy(headerOf(user), &header, sizeof header);
    std::memset(user - ZKMemStats::kGuardSize, ZKMemStats::kGuardByte, ZKMemStats::kGuardSize);
    std::memset(user + size, ZKMemStats::kGuardByte, ZKMemStats::kGuardSize);
    imp->counters[Imp::TotalAllocationsCounter]++;
    imp->counters[Imp::LeakedBlocksCounter]++;
    imp->counters[Imp::LeakedBytesCounter] += static_cast<long>(size);
    imp->currentLogger->logAllocation(kind, user, &header, 0);
    return user;
}

// Released blocks wait here, oldest first, before their memory goes back to
// the heap: while a block waits, the heap cannot hand its address to a new
// owner, so a second delete of it is caught as a double delete and blamed on
// that delete, instead of freeing a new owner's live block (whose own later
// delete would then be blamed). Bounded by a count and by bytes, whichever
// is reached first; a block larger than the byte bound goes back at once.
constexpr std::size_t kQuarantineBlocks = 1024;
constexpr std::size_t kQuarantineBytes = std::size_t{4} << 20;

struct QuarantinedBlock {
    void* base;
    std::size_t bytes;
};
QuarantinedBlock quarantine[kQuarantineBlocks];
std::size_t quarantineOldest = 0;
std::size_t quarantineCount = 0;
std::size_t quarantineBytes = 0;

// Under the lock.
void quarantineBlock(void* base, std::size_t bytes) {
    if (bytes > kQuarantineBytes) {
        std::free(base);
        return;
    }
    while (quarantineCount == kQuarantineBlocks ||
           (quarantineCount > 0 && quarantineBytes + bytes > kQuarantineBytes)) {
        const QuarantinedBlock& oldest = quarantine[quarantineOldest];
        std::free(oldest.base);
        quarantineBytes -= oldest.bytes;
        quarantineOldest = (quarantineOldest + 1) % kQuarantineBlocks;
        --quarantineCount;
    }
    quarantine[(quarantineOldest + quarantineCount) % kQuarantineBlocks] = {base, bytes};
    ++quarantineCount;
    quarantineBytes += bytes;
}

// Under the lock; p is live.
void retire(Imp* imp, void* p, std::uintptr_t& slot, const ZKMemStats::BlockHeader& header) {
    blocks.release(slot);
    tableSorted = false;
    imp->counters[Imp::TotalDeallocationsCounter]++;
    imp->counters[Imp::LeakedBlocksCounter]--;
    imp->counters[Imp::LeakedBytesCounter] -= static_cast<long>(header.size);
    quarantineBlock(baseOf(p), header.size + ZKMemStats::kBlockOverhead);
}

// Throws bad_alloc on a failure, after its handlers; the nothrow forms catch it.
void* allocate(std::size_t size, std::size_t alignment, ZKMemStats::BlockKind kind) {
    Imp* imp = stats()->imp;
    alignment = std::max(alignment, kMinimumAlignment);
    ZKMemStats::ReportableErrors error = ZKMemStats::NoError;
    void* user = nullptr;
    {
        ZKQEMutexGuard guard(imp->mutex);
        const long number = ++allocationsMade;
        imp->counters[kind == ZKMemStats::ArrayBlock ? Imp::ArrayNewCallsCounter
                                                     : Imp::NewCallsCounter]++;
        long& largest = imp->counters[Imp::LargestRequestCounter];
        largest = std::max(largest, static_cast<long>(std::min<std::size_t>(size, LONG_MAX)));
        const bool injected = number == failingAllocation;
        // The header holds a 32-bit size, and size + overhead must not wrap.
        const std::size_t extra = ZKMemStats::kBlockOverhead + sizeof(void*) + alignment;
        if (injected && !failAfterAllocation) {
            error = ZKMemStats::UserRequestedFailureBeforeAllocation;
        } else if (size > 0xffffffffu - extra ||
                   (user = writeBlock(imp, size, alignment, kind, number)) == nullptr) {
            error = ZKMemStats::AllocationFailure;
        } else if (injected) {
            // Obtained, then given back: the failure comes after allocation.
            retire(imp, user, *blocks.find(user), readHeader(user));
            user = nullptr;
            error = ZKMemStats::UserRequestedFailureAfterAllocation;
        }
        if (error != ZKMemStats::NoError)
            imp->currentLogger->logAllocation(kind, nullptr, nullptr, error);
    }
    if (error == ZKMemStats::NoError)
        return user;
    hooks::callHandler(*imp, error);
    throw std::bad_alloc();
}

// The handlers' results decide whether a block with a damaged guard or a
// mismatched form is released: it is when every handler called returns 0
// (as ignoreError does), else it stays live. A stray or double delete
// releases nothing, nor does a block whose header fields are damaged, as
// its size and heap address cannot be trusted: it stays live, a leak.
void release(void* p, ZKMemStats::BlockKind kind) {
    if (p == nullptr)
        return;
    Imp* imp = stats()->imp;
    ZKMemStats::ReportableErrors misuse[2] = {ZKMemStats::NoError, ZKMemStats::NoError};
    bool releasable = false;
    {
        ZKQEMutexGuard guard(imp->mutex);
        imp->counters[kind == ZKMemStats::ArrayBlock ? Imp::ArrayDeleteCallsCounter
                                                     : Imp::DeleteCallsCounter]++;
        std::uintptr_t* const slot = blocks.find(p);
        if (slot == nullptr || !BlockIndex::isLive(*slot)) {
            const bool twice = slot != nullptr;
            imp->counters[twice ? Imp::DoubleDeleteCallsCounter : Imp::StrayDeleteCallsCounter]++;
            misuse[0] = twice ? ZKMemStats::DoubleDelete : ZKMemStats::StrayDelete;
            imp->currentLogger->logDeallocation(kind, p, nullptr, misuse[0]);
        } else {
            const ZKMemStats::BlockHeader header = readHeader(p);
            const bool fieldsIntact =
                header.address == p &&
                (header.kind == ZKMemStats::ScalarBlock || header.kind == ZKMemStats::ArrayBlock);
            misuse[0] = hooks::checkLiveBlock(p);
            if (fieldsIntact && header.kind != kind) {
                misuse[1] = ZKMemStats::AllocDeallocMismatch;
                imp->counters[Imp::MismatchedBlocksCounter]++;
            }
            imp->currentLogger->logDeallocation(kind, p, fieldsIntact ? &header : nullptr,
                                                misuse[0] | misuse[1]);
            releasable = fieldsIntact;
            if (releasable && misuse[0] == ZKMemStats::NoError &&
                misuse[1] == ZKMemStats::NoError) {
                retire(imp, p, *slot, header);
                return;
            }
        }
    }
    int keep = 0;
    for (ZKMemStats::ReportableErrors error : misuse)
        if (error != ZKMemStats::NoError)
            keep |= hooks::callHandler(*imp, error);
    if (!releasable || keep != 0)
        return;
    ZKQEMutexGuard guard(imp->mutex);
    std::uintptr_t* const slot = blocks.find(p); // another thread may have released it meanwhile
    if (slot != nullptr && BlockIndex::isLive(*slot))
        retire(imp, p, *slot, readHeader(p));
}

// One "leak" row per block still live at an orderly end, in address order,
// whenever logging is on: in "errors" mode too, as a leak is what that mode
// is for, though no error bit names it.
void reportLeaks() {
    ZKMemStats* s = stats();
    ZKQEMutexGuard guard(s->imp->mutex);
    if (s->imp->currentLogger != s->imp->enabledLogger)
        return;
    auto* logger = static_cast<ZKEnabledLogger*>(s->imp->enabledLogger);
    const bool onlyErrors = !logger->logsEveryOperation();
    logger->logAll();
    for (void* p = s->first(); p != nullptr; p = s->next()) {
        const ZKMemStats::BlockHeader header = readHeader(p);
        logger->logOperation("leak", p, &header, 0);
    }
    if (onlyErrors)
        logger->logOnlyErrors();
}

// A program that asks for the instance before its first allocation gets no
// warning that the operators are not replaced either.
const bool operatorsNoted = (hooks::noteOperatorsReplaced(), true);

} // namespace

void ZKMemCheck::failAllocation(long n, bool afterAllocation) {
    ZKQEMutexGuard guard(stats()->imp->mutex);
    failingAllocation = n > 0 ? allocationsMade + n : 0;
    failAfterAllocation = afterAllocation;
}

long ZKMemCheck::allocationCount() {
    ZKQEMutexGuard guard(stats()->imp->mutex);
    return allocationsMade;
}

long ZKMemCheck::leaksSince(long mark, long* bytes) {
    ZKQEMutexGuard guard(stats()->imp->mutex);
    long count = 0;
    long total = 0;
    blocks.forEachLive([&](void* p) {
        const ZKMemStats::BlockHeader header = readHeader(p);
        if (header.sequence > mark) {
            ++count;
            total += static_cast<long>(header.size);
        }
    });
    if (bytes != nullptr)
        *bytes = total;
    return count;
}

// clang-format off
void* operator new(std::size_t n) { return allocate(n, 0, ZKMemStats::ScalarBlock); }
void* operator new[](std::size_t n) { return allocate(n, 0, ZKMemStats::ArrayBlock); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { try { return allocate(n, 0, ZKMemStats::ScalarBlock); } catch (...) { return nullptr; } }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { try { return allocate(n, 0, ZKMemStats::ArrayBlock); } catch (...) { return nullptr; } }
void* operator new(std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a), ZKMemStats::ScalarBlock); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a), ZKMemStats::ArrayBlock); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { try { return allocate(n, static_cast<std::size_t>(a), ZKMemStats::ScalarBlock); } catch (...) { return nullptr; } }
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { try { return allocate(n, static_cast<std::size_t>(a), ZKMemStats::ArrayBlock); } catch (...) { return nullptr; } }
void operator delete(void* p) noexcept { release(p, ZKMemStats::ScalarBlock); }
void operator delete[](void* p) noexcept { release(p, ZKMemStats::ArrayBlock); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p, ZKMemStats::ScalarBlock); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p, ZKMemStats::ArrayBlock); }
void operator delete(void* p, std::size_t) noexcept { release(p, ZKMemStats::ScalarBlock); }
void operator delete[](void* p, std::size_t) noexcept { release(p, ZKMemStats::ArrayBlock); }
void operator delete(void* p, std::align_val_t) noexcept { release(p, ZKMemStats::ScalarBlock); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p, ZKMemStats::ArrayBlock); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p, ZKMemStats::ScalarBlock); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p, ZKMemStats::ArrayBlock); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p, ZKMemStats::ScalarBlock); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p, ZKMemStats::ArrayBlock); }
// clang-format on
