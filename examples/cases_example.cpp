// SPDX-License-Identifier: MIT
// A program of cases: a small ring buffer under test, with a fixture,
// sections, value checks and exception checks. It passes as it stands; the
// cases tagged [demo] are hidden and fail on purpose, one of each kind, to
// show what a failure reads like:
//
//     zktest_cases_example --filter [demo]
#include <zktest_cases.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A fixed-capacity queue that refuses to overflow.
class Ring {
public:
    explicit Ring(std::size_t capacity) : slots_(capacity) {}
    void push(int value) {
        if (size_ == slots_.size())
            throw std::length_error("ring is full");
        slots_[(first_ + size_++) % slots_.size()] = value;
    }
    int pop() {
        if (size_ == 0)
            throw std::out_of_range("ring is empty");
        const int value = slots_[first_];
        first_ = (first_ + 1) % slots_.size();
        --size_;
        return value;
    }
    std::size_t size() const { return size_; }
    std::vector<int> contents() const {
        std::vector<int> out;
        for (std::size_t i = 0; i < size_; ++i)
            out.push_back(slots_[(first_ + i) % slots_.size()]);
        return out;
    }

private:
    std::vector<int> slots_;
    std::size_t first_ = 0;
    std::size_t size_ = 0;
};

struct ThreeSlots {
    Ring ring{3};
};

} // namespace

ZKTEST_CASE_FIXTURE(ThreeSlots, "a ring keeps its order", "[ring]") {
    ring.push(1);
    ring.push(2);
    ZKTEST_SECTION("popping returns the oldest first") {
        ZKQE_CHECK_EQ(ring.pop(), 1);
        ZKQE_CHECK_EQ(ring.contents(), std::vector<int>{2});
    }
    ZKTEST_SECTION("wrapping around keeps the order") {
        ring.pop();
        ring.push(3);
        ring.push(4);
        ZKQE_CHECK_EQ(ring.contents(), std::vector<int>{2, 3, 4});
    }
}

ZKTEST_CASE_FIXTURE(ThreeSlots, "a ring refuses what it cannot do", "[ring][errors]") {
    ZKQE_CHECK_THROWS_AS(ring.pop(), std::out_of_range);
    for (int i = 0; i < 3; ++i)
        ZKQE_REQUIRE_NOTHROW(ring.push(i)) << "push " << i;
    ZKQE_CHECK_THROWS_AS(ring.push(9), std::length_error);
    ZKQE_CHECK_EQ(ring.size(), 3u);
}

ZKTEST_CASE("names compare by content", "[strings]") {
    const char* typed = "ring";
    const std::string built = std::string("ri") + "ng";
    ZKQE_CHECK_EQ(typed, built);
    ZKQE_CHECK_NE(typed, "queue");
}

// What failures read like, one of each kind.
ZKTEST_CASE("demo: a value check", "[.][demo]") {
    Ring ring(2);
    ring.push(7);
    ZKQE_CHECK_EQ(ring.size(), 2u);
    ZKQE_CHECK_EQ(ring.contents(), std::vector<int>{7, 8});
}

ZKTEST_CASE("demo: a message and ZKQE_INFO", "[.][demo]") {
    for (int i = 0; i < 3; ++i) {
        ZKQE_INFO("round " << i);
        ZKQE_CHECK_LT(i * i, 4) << "square of " << i;
    }
}

ZKTEST_CASE("demo: exception checks", "[.][demo]") {
    Ring ring(1);
    ZKQE_CHECK_THROWS(ring.push(1));
    ZKQE_CHECK_THROWS_AS(ring.push(2), std::out_of_range);
    ZKQE_CHECK_NOTHROW(ring.push(3));
}

ZKTEST_CASE("demo: a fatal check ends its section only", "[.][demo]") {
    Ring ring(1);
    ZKTEST_SECTION("empty") {
        ZKQE_REQUIRE_EQ(ring.size(), 1u) << "nothing was pushed";
        ZKQE_CHECK(!"not reached");
    }
    ZKTEST_SECTION("full") {
        ring.push(1);
        ZKQE_CHECK_EQ(ring.size(), 1u);
    }
}

ZKTEST_CASE("demo: an exception escapes", "[.][demo]") {
    Ring ring(1);
    ring.pop();
}
