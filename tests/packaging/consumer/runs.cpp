// SPDX-License-Identifier: MIT
// Small test programs in one source, chosen at build time, that show how
// CTest sees zktest runs registered with zktest_add_test: one passes, one
// fails an assertion, one hangs until its alarm aborts it, one crashes, one
// fails 256 times, one passes into a report the disk has no room for, one
// fails and then leaves by exit(0) before its summary.
#include <zktest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <thread>

class ConsumerTest : public ZKQETest {
public:
    ConsumerTest() : ZKQETest(ZKTEST_CONSUMER_TAG, "", ".", "", false, 300) {}

    void runTest() override {
        ZKQE_CHECK(1 + 1 == 2);
        if (kind == "fail")
            ZKQE_CHECK_ID(2 + 2 == 5, "arithmetic");
        for (int i = 0; kind == "many" && i < 256; ++i)
            ZKQE_CHECK_ID(i < 0, "many");
        if (kind == "exit") {
            ZKQE_CHECK_ID(2 + 2 == 5, "before exit");
            std::exit(0);
        }
        if (kind == "hang")
            std::this_thread::sleep_for(std::chrono::hours(1));
        if (kind == "crash")
            *static_cast<volatile int*>(nullptr) = 1;
        if (kind == "full") {
            // A file size limit stands in for a full disk.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{200, 200};
            setrlimit(RLIMIT_FSIZE, &limit);
            for (int i = 0; i < 20; ++i)
                print("a line the disk has no room for");
        }
    }

private:
    const std::string kind = ZKTEST_CONSUMER_TAG;
};

int main(int argc, char** argv) {
    ConsumerTest test;
    test.processDefaultArguments(argc, argv);
    return test.go();
}
