// SPDX-License-Identifier: MIT
// A suite in GoogleTest's macros, built twice: against GoogleTest itself and
// against zktest's GoogleTest-speaking header. Both runs must fail the same
// checks.
#ifdef ZKTEST_WITH_GTEST
#include <gtest/gtest.h>
#else
#include <zktest_gtest.h>
#endif

#include <stdexcept>
#include <string>
#include <vector>

namespace {
int twice(int n) {
    return n * 2;
}
// A fatal failure here returns from the helper only: the test goes on.
void expectPositive(int n) {
    ASSERT_GT(n, 0) << "in the helper";
    EXPECT_LT(n, 0);
}
const char* const kName = "ring";
} // namespace

TEST(Values, Compare) {
    EXPECT_EQ(twice(2), 4);
    EXPECT_EQ(twice(2), 5) << "twice " << 2;
    EXPECT_NE(twice(2), 4);
    EXPECT_LE(twice(3), 5);
    EXPECT_TRUE(twice(0));
    EXPECT_FALSE(twice(1) == 2);
    EXPECT_EQ(kName, std::string("ring").c_str()); // addresses, as GoogleTest compares them
    EXPECT_STREQ(kName, std::string("ring").c_str());
    EXPECT_STRNE(kName, "ring");
    EXPECT_STRCASEEQ("RING", kName);
    EXPECT_STREQ(L"ring", L"rinG\u0080"); // the first code point past ASCII shows as '?'
    EXPECT_NEAR(1.0, 1.2, 0.1);
    EXPECT_DOUBLE_EQ(0.1 + 0.2, 0.3);
    EXPECT_FLOAT_EQ(1.0f, 1.0001f);
    expectPositive(-1);
    ASSERT_EQ(twice(1), 3);
    ADD_FAILURE() << "not reached";
}

TEST(Values, Exceptions) {
    std::vector<int> numbers{1, 2};
    EXPECT_THROW(numbers.at(5), std::out_of_range);
    EXPECT_THROW(numbers.at(0), std::out_of_range);
    EXPECT_ANY_THROW(numbers.at(1));
    EXPECT_NO_THROW(numbers.at(9));
}

TEST(Values, ExplicitOutcomes) {
    SCOPED_TRACE("traced");
    SUCCEED();
    ADD_FAILURE() << "by hand";
    FAIL() << "stop";
    ADD_FAILURE() << "not reached";
}

TEST(Values, DISABLED_NeverRun) {
    ADD_FAILURE() << "disabled";
}

TEST(Values, Skipped) {
    GTEST_SKIP() << "not today";
    ADD_FAILURE() << "not reached";
}

class Ring : public testing::Test {
protected:
    static void SetUpTestSuite() { shared = 5; }
    void SetUp() override { slots.push_back(shared); }
    void TearDown() override { EXPECT_EQ(slots.size(), 1u) << "torn down"; }
    static int shared;
    std::vector<int> slots;
};
int Ring::shared = 0;

TEST_F(Ring, Members) {
    EXPECT_EQ(slots.front(), 5);
    slots.push_back(1);
}

class Refusing : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(false) << "no set-up"; }
};

TEST_F(Refusing, BodySkipped) {
    ADD_FAILURE() << "not reached";
}

class Widths : public testing::TestWithParam<int> {};

TEST_P(Widths, Even) {
    EXPECT_EQ(GetParam() % 2, 0);
}
TEST_P(Widths, Small) {
    EXPECT_LT(GetParam(), 3);
}
const int kListedWidths[] = {1, 2, 4};
INSTANTIATE_TEST_SUITE_P(Listed, Widths, testing::ValuesIn(kListedWidths));
INSTANTIATE_TEST_SUITE_P(Ranged, Widths, testing::Range(3, 6));

class Flags : public testing::TestWithParam<bool> {};
TEST_P(Flags, True) {
    EXPECT_TRUE(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Both, Flags, testing::Bool());

template <class T> class Numbers : public testing::Test {
protected:
    T zero{};
};
using NumberTypes = testing::Types<int, long, double>;
TYPED_TEST_SUITE(Numbers, NumberTypes);

TYPED_TEST(Numbers, Zero) {
    EXPECT_EQ(this->zero, TypeParam(0));
    EXPECT_EQ(sizeof(TypeParam), sizeof(int));
}
