// The separator is usable during static initialisation, before any of the
// library's own initialisers may have run: code that opens a file from a
// static constructor must not see an empty separator.
#include "zkqe_output.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

namespace {

const char separatorAtStaticInit = pathSeparator[0];

TEST(PathSeparatorAtStaticInit, IsAlreadySet) {
    EXPECT_EQ(zktest_support::separator(), separatorAtStaticInit);
}

} // namespace
