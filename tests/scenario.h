// SPDX-License-Identifier: MIT
// Scenario programs: each subsystem's tests/ folder builds one program that
// holds many named scenarios. The suite runs every scenario in a fresh
// process and working directory (run_scenario.cmake) and compares what it
// leaves behind -- exit, standard output and error, every file it wrote --
// with a golden file, so expected texts are data and never spelt in C++.
#ifndef ZKTEST_TESTS_SCENARIO_H
#define ZKTEST_TESTS_SCENARIO_H

#include <zktest.h>

#include <functional>
#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#endif

namespace scenario {

// argv[0] is the program, argv[1] the scenario's name, then its arguments.
using Body = int (*)(int argc, char** argv);

struct Registrar {
    Registrar(const char* name, Body body);
};

// A test whose body is a lambda, with the protected state in reach.
class Probe : public ZKQETest {
public:
    using ZKQETest::ZKQETest;
    std::function<void(Probe&)> body;
    void runTest() override {
        if (body)
            body(*this);
    }
    using ZKQETest::primaryOutput;
};

// A planted fault can turn a loop into an endless writer: a file size limit
// ends such a run (SIGXFSZ) before it fills the disk. Every test program
// sets it first. The values are set, never read back, because the i386
// emulator reads this limit back as unlimited and then refuses it.
inline void limitFileSize() {
#if __has_include(<sys/resource.h>)
    const rlim_t most = rlim_t{3} << 30; // room for a seek past 2 GiB
    const rlimit limit{most, most};
    setrlimit(RLIMIT_FSIZE, &limit);
#endif
}

} // namespace scenario

#define SCENARIO(name)                                                                             \
    static int name##_scenario(int argc, char** argv);                                             \
    static const ::scenario::Registrar name##_registrar(#name, &name##_scenario);                  \
    static int name##_scenario([[maybe_unused]] int argc, [[maybe_unused]] char** argv)

#endif
