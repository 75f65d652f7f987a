// The assertion loop with zktest: N passing assertTrue calls inside one test
// body, as a test program writes them. The report goes where the flags say
// (-D <dir>), by default into the working directory.
#include "assertion_loop.h"

#include "zktest.h"

namespace {

class LoopTest : public ZKQETest {
public:
    explicit LoopTest(long count) : ZKQETest("assertion loop", "", ".", "loop_zktest.out"), count_(count) {}

    void runTest() override {
        assertion_loop::timeLoop("zktest", count_, [this](long count) {
            for (long i = 0; i < count; ++i)
                assertTrue("passes", __FILE__, __LINE__, assertion_loop::opaqueTrue(), "1");
        });
    }

private:
    long count_;
};

} // namespace

int main(int argc, char** argv) {
    const long count = assertion_loop::takeCount(argc, argv);
    LoopTest test(count);
    test.processDefaultArguments(argc, argv);
    return test.go();
}
