// The error-name table and errorName, an internal helper of the loggers.
#include "memstats/memstats_internal.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorNameTest, ZeroAndSingleBits) {
    EXPECT_STREQ("No Error", zkqe::errorName(0));
    EXPECT_STREQ("Invalid Header", zkqe::errorName(ZKMemStats::InvalidHeader));
    EXPECT_STREQ("Invalid Trailer", zkqe::errorName(ZKMemStats::InvalidTrailer));
    EXPECT_STREQ("Alloc/Dealloc Mismatch", zkqe::errorName(ZKMemStats::AllocDeallocMismatch));
    EXPECT_STREQ("Allocation Failure", zkqe::errorName(ZKMemStats::AllocationFailure));
    EXPECT_STREQ("Stray Delete", zkqe::errorName(ZKMemStats::StrayDelete));
    EXPECT_STREQ("Double Delete", zkqe::errorName(ZKMemStats::DoubleDelete));
    EXPECT_STREQ("User Reqeusted Failure Before Allocation",
                 zkqe::errorName(ZKMemStats::UserRequestedFailureBeforeAllocation));
    EXPECT_STREQ("User Reqeusted Failure After Allocation",
                 zkqe::errorName(ZKMemStats::UserRequestedFailureAfterAllocation));
    for (int bit = 6; bit <= 29; ++bit)
        EXPECT_STREQ("Unknown Failure", zkqe::errorName(1ul << bit)) << bit;
}

TEST(ErrorNameTest, SeveralBitsAreNamedByTheHighest) {
    EXPECT_STREQ("Invalid Trailer", zkqe::errorName(3));
    EXPECT_STREQ("Unknown Failure", zkqe::errorName(0x40 | 0x1));
    EXPECT_STREQ("User Reqeusted Failure After Allocation", zkqe::errorName(0xffffffffu));
    // Only the low 32 bits carry errors where long is wider.
    if (sizeof(unsigned long) > 4) {
        const unsigned long high = static_cast<unsigned long>(1ull << (sizeof(long) * 8 - 1));
        EXPECT_STREQ("No Error", zkqe::errorName(high));
        EXPECT_STREQ("Stray Delete", zkqe::errorName(high | 16));
    }
}

} // namespace
