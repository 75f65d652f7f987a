// SPDX-License-Identifier: MIT
// The checked allocator seen from a program whose operators it replaces:
// counters, guards, misuse reports and their handler calls, the table past
// its first array, failure injection and the failure loop.
#include "zkmemcheck.h"
#include "zkmemstats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <thread>
#include <vector>

namespace {

// Hides a pointer from the compiler, so that misuse stays deliberate and a
// new/delete pair is not optimised away.
template <class T> T* hide(T* p) {
    T* volatile hidden = p;
    return hidden;
}

std::vector<unsigned> handled;

int record(ZKMemStats::ReportableErrors error, const char*) {
    handled.push_back(error);
    return 0;
}

struct MemCheck : testing::Test {
    ZKMemStats* stats = ZKMemStats::instance();
    void SetUp() override {
        handled.reserve(16);
        handled.clear();
        stats->setErrorHandler(~0UL, record); // every bit, more than there are errors
    }
    void TearDown() override { stats->setErrorHandler(0xffffffffUL, ZKMemStats::ignoreError); }
};

TEST_F(MemCheck, ABlockIsCheckedCountedAndRetired) {
    const long blocks = stats->leakedBlocks();
    const long news = stats->arrayNewCalls();
    char* p = new char[100001];
    EXPECT_EQ(stats->statusOf(p), ZKMemStats::NoError);
    EXPECT_EQ(stats->leakedBlocks(), blocks + 1);
    EXPECT_EQ(stats->arrayNewCalls(), news + 1);
    EXPECT_GE(stats->largestRequest(), 100001);
    char* const retired = hide(p);
    delete[] p;
    EXPECT_EQ(stats->leakedBlocks(), blocks);
    EXPECT_EQ(stats->statusOf(retired), ZKMemStats::StrayDelete);
    EXPECT_TRUE(handled.empty());
}

TEST_F(MemCheck, TheTableGrowsAndIteratesInAddressOrder) {
    std::vector<int*> blocks(20000); // the index grows several times
    for (int*& p : blocks)
        p = new int(1);
    std::uintptr_t last = 0;
    long live = 0;
    bool ascending = true;
    for (void* p = stats->first(); p != nullptr; p = stats->next(), ++live) {
        ascending = ascending && last < reinterpret_cast<std::uintptr_t>(p);
        last = reinterpret_cast<std::uintptr_t>(p);
    }
    EXPECT_TRUE(ascending);
    EXPECT_GE(live, 20000);
    for (int* p : blocks) {
        EXPECT_EQ(stats->statusOf(p), ZKMemStats::NoError);
        delete p;
    }
}

TEST_F(MemCheck, TheNthAllocationFailsAsAsked) {
    ZKMemCheck::failAllocation(2);
    int* first = hide(new int);
    EXPECT_THROW(static_cast<void>(hide(new int)), std::bad_alloc);
    delete first;
    ZKMemCheck::failAllocation(1, true);
    EXPECT_EQ(hide(new (std::nothrow) int), nullptr);
    volatile std::size_t huge = 0xfffffff0u; // beyond the header's 32-bit size
    EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
    EXPECT_EQ(handled, (std::vector<unsigned>{ZKMemStats::UserRequestedFailureBeforeAllocation,
                                              ZKMemStats::UserRequestedFailureAfterAllocation,
                                              ZKMemStats::AllocationFailure}));
}

TEST_F(MemCheck, AlignedRequestsKeepTheirAlignment) {
    struct alignas(256) Page {
        char bytes[256];
    };
    Page* page = new Page;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(page) % 256, 0u);
    EXPECT_EQ(stats->statusOf(page), ZKMemStats::NoError);
    delete page;
    EXPECT_TRUE(handled.empty());
}

// Threads that allocate and release at once leave the counters exact and
// the index whole.
TEST_F(MemCheck, ThreadsShareTheIndexAndCounters) {
    const long allocations = stats->totalAllocations();
    const long live = stats->leakedBlocks();
    {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([] {
                std::vector<int*> mine;
                for (int i = 0; i < 2000; ++i)
                    mine.push_back(new int(i));
                for (int* p : mine)
                    delete p;
            });
        for (std::thread& thread : threads)
            thread.join();
    }
    // Each thread also allocated its vector's growing arrays and its state.
    EXPECT_GE(stats->totalAllocations() - allocations, 8000);
    EXPECT_EQ(stats->leakedBlocks(), live);
    EXPECT_TRUE(handled.empty());
}

} // namespace
