// SPDX-License-Identifier: MIT
// A complete zktest program: it tests a small ring buffer that keeps the
// last few readings of a sensor and their mean.
//
// Run it, then read example.out (the report) and example.sta (the status
// file: "0" when the process ended in order). Flags such as -O other.out,
// -D reports or -L 30 (abort after 30 seconds) change the run without a
// rebuild.
#include <zktest.h>

#include <cmath>
#include <cstdio>

// --- the component under test ----------------------------------------------

// Keeps the last `Capacity` values pushed; the oldest one is dropped first.
template <int Capacity> class RingBuffer {
public:
    bool empty() const { return size_ == 0; }
    int size() const { return size_; }

    void push(double value) {
        values_[(start_ + size_) % Capacity] = value;
        if (size_ < Capacity)
            ++size_;
        else
            start_ = (start_ + 1) % Capacity;
    }

    // The oldest value still kept; removes it.
    double pop() {
        const double value = values_[start_];
        start_ = (start_ + 1) % Capacity;
        --size_;
        return value;
    }

    double mean() const {
        double sum = 0.0;
        for (int i = 0; i < size_; ++i)
            sum += values_[(start_ + i) % Capacity];
        return size_ > 0 ? sum / size_ : 0.0;
    }

private:
    double values_[Capacity] = {};
    int start_ = 0;
    int size_ = 0;
};

// --- the test ---------------------------------------------------------------

class RingBufferTest : public ZKQETest {
public:
    // Test tag, remark, report directory and file; the remaining settings
    // keep their defaults (a limit of 128 failures, a tolerance set below).
    RingBufferTest() : ZKQETest("RingBuffer", "last readings of a sensor", ".", "example.out") {
        setThreshold(1e-9); // assertSmall passes when |value| <= 1e-9
    }

    void runTest() override {
        setRunTag("capacity 3");
        fillingUp();
        wrappingAround();
    }

private:
    void fillingUp() {
        setFunctionTag("fillingUp");
        RingBuffer<3> ring;
        assertTrue("a new ring is empty", __FILE__, __LINE__, ring.empty(), "1");

        setStepTag("push 1 and 2");
        ring.push(1.0);
        ring.push(2.0);
        assertTrue("two values kept", __FILE__, __LINE__, ring.size() == 2, "2");
        assertSmall("mean of 1 and 2", __FILE__, __LINE__, ring.mean() - 1.5, "3");
    }

    void wrappingAround() {
        setFunctionTag("wrappingAround");
        RingBuffer<3> ring;
        for (int i = 1; i <= 5; ++i)
            ring.push(i);

        setStepTag("pushed 1 to 5");
        assertTrue("full at capacity", __FILE__, __LINE__, ring.size() == 3, "1");
        // Anything can be streamed into the report; each use starts with "# ".
        outStream() << "kept " << ring.size() << " values, mean " << ring.mean() << endl;
        assertSmall("mean of 3, 4, 5", __FILE__, __LINE__, ring.mean() - 4.0, "2");

        setStepTag("pop the oldest");
        assertSmall("oldest is 3", __FILE__, __LINE__, ring.pop() - 3.0, "3");
        assertTrue("two left", __FILE__, __LINE__, ring.size() == 2, "4");
        print("ring buffer checks done");
    }
};

int main(int argc, char** argv) {
    RingBufferTest test;
    test.processDefaultArguments(argc, argv);
    const int failures = test.go(); // the number of failed assertions
    std::printf("%d assertion(s) failed; report in %s\n", failures, test.outputFile());
    return failures == 0 ? 0 : 1; // a status of 256 failures would read back as 0
}
