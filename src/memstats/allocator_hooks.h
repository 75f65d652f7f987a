// SPDX-License-Identifier: MIT
// The memory-statistics instance's side of a checked allocator
// (zktest::memcheck): the index of its blocks it lends the instance, the
// guard check of a live block, the handler call, and the note that keeps
// the instance from warning that the operators are not replaced.
//
// Exported, since the checked allocator is linked into the test program
// beside the shared library; not an interface: only memcheck calls these.
// The instance's lock serialises them with the allocator's own work.
#ifndef ZKQE_MEMSTATS_ALLOCATOR_HOOKS_H
#define ZKQE_MEMSTATS_ALLOCATOR_HOOKS_H

#include "zkmemstats.h"

namespace zktest {
namespace allocator_hooks {

// An allocation tool's own index of its blocks, so that an allocation need
// not move the sorted array. statusOf asks isLive; first() has sortTable
// rewrite ZKMemStatsImp::blockTable, in address order, from the index.
struct BlockIndex {
    bool (*isLive)(const void* p);
    void (*sortTable)(ZKMemStatsImp::BlockTable& table);
};

// From now on the instance asks `index`; null (as at the start) makes the
// sorted array the truth again.
ZKQE_API void lendBlockIndex(const BlockIndex* index);

// statusOf's checks after the table lookup, for a block known to be live:
// NoError, InvalidHeader or InvalidTrailer.
ZKQE_API ZKMemStats::ReportableErrors checkLiveBlock(const void* p);

// Calls the instance's handler of `error` (one bit) with the error's name,
// as the log writes it; returns what the handler returned.
ZKQE_API int callHandler(ZKMemStatsImp& imp, ZKMemStats::ReportableErrors error);

// Called before the instance is first made, keeps its first-use warning
// from being written: a checked allocator replaces the operators.
ZKQE_API void noteOperatorsReplaced();

} // namespace allocator_hooks
} // namespace zktest

#endif
