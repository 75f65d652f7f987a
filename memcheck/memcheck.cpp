// SPDX-License-Identifier: MIT
// The checked allocator: every global allocation and deallocation operator,
// writing checked blocks, keeping the facility's table sorted, moving its
// counters and calling its handlers and logger; failure injection and leak
// marks; the leak report at exit.
//
// Invariants: every table entry names a block this file wrote; a retired
// block keeps its entry with state 0, which is how a second delete is told
// from a stray one. The word before a block's header holds the address that
// malloc returned, so aligned blocks are released correctly. All table and
// counter work happens under the facility's (recursive) lock; handlers run
// outside it, so a handler may allocate.
#include "zkmemcheck.h"
#include "zkmemstats.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

using Imp = ZKMemStatsImp;
using Entry = ZKMemStatsImp::BlockEntry;

enum Form { Scalar = 0, Array = 1 };

long allocationsMade = 0;
long failingAllocation = 0;
bool failAfterAllocation = false;

ZKMemStats* stats() {
    ZKMemStatsImp::noteOperatorsReplaced();
    return ZKMemStats::instance();
}

std::uintptr_t addressOf(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

// Index of the first entry whose address is not below p.
std::uint32_t lowerBound(const Imp::BlockTable& table, const void* p) {
    std::uint32_t low = 0;
    std::uint32_t high = table.count;
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        if (addressOf(table.entries[middle].address) < addressOf(p))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

Entry* findEntry(Imp::BlockTable& table, const void* p) {
    if (table.entries == nullptr)
        return nullptr;
    const std::uint32_t at = lowerBound(table, p);
    return at < table.count && table.entries[at].address == p ? &table.entries[at] : nullptr;
}

// False when the table cannot grow: the block is then refused.
bool enter(Imp::BlockTable& table, void* p) {
    if (Entry* entry = findEntry(table, p)) {
        entry->state = 1;
        return true;
    }
    if (table.count == table.capacity) {
        const std::uint32_t capacity = table.capacity == 0 ? 1024u : table.capacity * 2u;
        void* grown = std::realloc(table.entries, capacity * sizeof(Entry));
        if (grown == nullptr)
            return false;
        table.entries = static_cast<Entry*>(grown);
        table.capacity = capacity;
    }
    const std::uint32_t at = lowerBound(table, p);
    std::memmove(table.entries + at + 1, table.entries + at, (table.count - at) * sizeof(Entry));
    table.entries[at].address = p;
    table.entries[at].state = 1;
    ++table.count;
    return true;
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

int callHandler(ZKMemStats* s, ZKMemStats::ReportableErrors error) {
    int bit = 1;
    while ((1ul << (bit - 1)) != static_cast<unsigned long>(error))
        ++bit;
    return s->imp->errorHandlers[bit](error, ZKMemStatsImp::errorName(error));
}

void* allocate(std::size_t size, std::size_t alignment, Form form, bool nothrow) {
    ZKMemStats* s = stats();
    Imp* imp = s->imp;
    if (alignment < alignof(std::max_align_t))
        alignment = alignof(std::max_align_t);
    ZKMemStats::ReportableErrors error = ZKMemStats::NoError;
    void* user = nullptr;
    {
        ZKQEMutexGuard guard(imp->mutex);
        const long number = ++allocationsMade;
        imp->counters[form == Array ? Imp::ArrayNewCallsCounter : Imp::NewCallsCounter]++;
        if (static_cast<long>(size) > imp->counters[Imp::LargestRequestCounter] &&
            size <= static_cast<std::size_t>(LONG_MAX))
            imp->counters[Imp::LargestRequestCounter] = static_cast<long>(size);
        const std::size_t extra = ZKMemStats::kBlockOverhead + sizeof(void*) + alignment;
        // The header keeps a 32-bit size: larger requests are allocation failures.
        const bool tooLarge = size > 0xffffffffu - extra;
        const bool injected = number == failingAllocation;
        if (injected && !failAfterAllocation) {
            error = ZKMemStats::UserRequestedFailureBeforeAllocation;
        } else if (tooLarge) {
            error = ZKMemStats::AllocationFailure;
        } else {
            void* base = std::malloc(size + extra);
            if (base == nullptr) {
                error = ZKMemStats::AllocationFailure;
            } else if (injected) {
                std::free(base);
                error = ZKMemStats::UserRequestedFailureAfterAllocation;
            } else {
                std::uintptr_t at = addressOf(base) + sizeof(void*) + ZKMemStats::kHeaderOffset;
                at = (at + alignment - 1) / alignment * alignment;
                user = reinterpret_cast<void*>(at);
                if (!enter(imp->blockTable, user)) {
                    std::free(base);
                    user = nullptr;
                    error = ZKMemStats::AllocationFailure;
                } else {
                    unsigned char* u = static_cast<unsigned char*>(user);
                    const ZKMemStats::BlockHeader header{
                        form == Array ? ZKMemStats::ArrayBlock : ZKMemStats::ScalarBlock,
                        static_cast<std::uint32_t>(size), user, static_cast<std::int32_t>(number)};
                    std::memcpy(headerOf(user) - sizeof(void*), &base, sizeof base);
                    std::memcpy(headerOf(user), &header, sizeof header);
                    std::memset(u - ZKMemStats::kGuardSize, ZKMemStats::kGuardByte,
                                ZKMemStats::kGuardSize);
                    std::memset(u + size, ZKMemStats::kGuardByte, ZKMemStats::kGuardSize);
                    imp->counters[Imp::TotalAllocationsCounter]++;
                    imp->counters[Imp::LeakedBlocksCounter]++;
                    imp->counters[Imp::LeakedBytesCounter] += static_cast<long>(size);
                    imp->currentLogger->logAllocation(form, user, &header, 0);
                }
            }
        }
        if (error != ZKMemStats::NoError)
            imp->currentLogger->logAllocation(form, nullptr, nullptr, error);
    }
    if (error == ZKMemStats::NoError)
        return user;
    callHandler(s, error);
    if (nothrow)
        return nullptr;
    throw std::bad_alloc();
}

// The handler's result decides whether a block with a damaged guard or a
// mismatched form is still released: 0 (what ignoreError returns) releases
// it, anything else keeps it live. Stray and double deletes release nothing.
void release(void* p, Form form) {
    if (p == nullptr)
        return;
    ZKMemStats* s = stats();
    Imp* imp = s->imp;
    ZKMemStats::ReportableErrors errors[2] = {ZKMemStats::NoError, ZKMemStats::NoError};
    {
        ZKQEMutexGuard guard(imp->mutex);
        imp->counters[form == Array ? Imp::ArrayDeleteCallsCounter : Imp::DeleteCallsCounter]++;
        Entry* entry = findEntry(imp->blockTable, p);
        if (entry == nullptr || entry->state <= 0) {
            const bool twice = entry != nullptr;
            imp->counters[twice ? Imp::DoubleDeleteCallsCounter : Imp::StrayDeleteCallsCounter]++;
            errors[0] = twice ? ZKMemStats::DoubleDelete : ZKMemStats::StrayDelete;
            imp->currentLogger->logDeallocation(form, p, nullptr, errors[0]);
        } else {
            const ZKMemStats::BlockHeader header = readHeader(p);
            errors[0] = s->statusOf(p);
            if (header.kind != static_cast<std::uint32_t>(form)) {
                errors[1] = ZKMemStats::AllocDeallocMismatch;
                imp->counters[Imp::MismatchedBlocksCounter]++;
            }
            imp->currentLogger->logDeallocation(form, p, &header, errors[0] | errors[1]);
        }
    }
    if (errors[0] == ZKMemStats::StrayDelete || errors[0] == ZKMemStats::DoubleDelete) {
        callHandler(s, errors[0]);
        return;
    }
    int keep = 0;
    for (ZKMemStats::ReportableErrors error : errors)
        if (error != ZKMemStats::NoError)
            keep |= callHandler(s, error);
    if (keep != 0)
        return;
    ZKQEMutexGuard guard(imp->mutex);
    Entry* entry = findEntry(imp->blockTable, p);
    if (entry == nullptr || entry->state <= 0)
        return; // another thread released it while the handler ran
    entry->state = 0;
    const ZKMemStats::BlockHeader header = readHeader(p);
    imp->counters[Imp::TotalDeallocationsCounter]++;
    imp->counters[Imp::LeakedBlocksCounter]--;
    imp->counters[Imp::LeakedBytesCounter] -= static_cast<long>(header.size);
    std::free(baseOf(p));
}

// Lists the blocks still live when the process ends in order, as leaks.
struct LeakReport {
    LeakReport() { stats(); }
    ~LeakReport() {
        ZKMemStats* s = stats();
        ZKQEMutexGuard guard(s->imp->mutex);
        if (s->imp->currentLogger != s->imp->enabledLogger)
            return;
        auto* logger = static_cast<ZKEnabledLogger*>(s->imp->enabledLogger);
        for (void* p = s->first(); p != nullptr; p = s->next()) {
            const ZKMemStats::BlockHeader header = readHeader(p);
            logger->logOperation("leak", p, &header, 0);
        }
    }
};
LeakReport leakReport;

} // namespace

void ZKMemCheck::failAllocation(long n, bool afterAllocation) {
    ZKMemStats* s = stats();
    ZKQEMutexGuard guard(s->imp->mutex);
    failingAllocation = n > 0 ? allocationsMade + n : 0;
    failAfterAllocation = afterAllocation;
}

long ZKMemCheck::allocationCount() {
    ZKMemStats* s = stats();
    ZKQEMutexGuard guard(s->imp->mutex);
    return allocationsMade;
}

long ZKMemCheck::leaksSince(long mark, long* bytes) {
    ZKMemStats* s = stats();
    ZKQEMutexGuard guard(s->imp->mutex);
    long blocks = 0;
    long total = 0;
    const Imp::BlockTable& table = s->imp->blockTable;
    for (std::uint32_t i = 0; i < table.count; ++i) {
        if (table.entries[i].state <= 0)
            continue;
        const ZKMemStats::BlockHeader header = readHeader(table.entries[i].address);
        if (header.sequence > mark) {
            ++blocks;
            total += static_cast<long>(header.size);
        }
    }
    if (bytes != nullptr)
        *bytes = total;
    return blocks;
}

// clang-format off
void* operator new(std::size_t n) { return allocate(n, 0, Scalar, false); }
void* operator new[](std::size_t n) { return allocate(n, 0, Array, false); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { try { return allocate(n, 0, Scalar, true); } catch (...) { return nullptr; } }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { try { return allocate(n, 0, Array, true); } catch (...) { return nullptr; } }
void* operator new(std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a), Scalar, false); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a), Array, false); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { try { return allocate(n, static_cast<std::size_t>(a), Scalar, true); } catch (...) { return nullptr; } }
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { try { return allocate(n, static_cast<std::size_t>(a), Array, true); } catch (...) { return nullptr; } }
void operator delete(void* p) noexcept { release(p, Scalar); }
void operator delete[](void* p) noexcept { release(p, Array); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p, Scalar); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p, Array); }
void operator delete(void* p, std::size_t) noexcept { release(p, Scalar); }
void operator delete[](void* p, std::size_t) noexcept { release(p, Array); }
void operator delete(void* p, std::align_val_t) noexcept { release(p, Scalar); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p, Array); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p, Scalar); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p, Array); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p, Scalar); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p, Array); }
// clang-format on
