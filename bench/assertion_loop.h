// SPDX-License-Identifier: MIT
// What the assertion-loop programs share: each one runs N passing assertions
// of one framework inside one test case, times that loop with a steady clock
// and prints one line that bench/compare reads:
//
//     assertion loop: <framework> <N> assertions <ns> ns per assertion
//
// N is 10,000,000 unless the command line says otherwise (--n=<N>) or the
// environment does (ZKBENCH_N). The smoke run of CI starts every benchmark
// program with --benchmark_min_time=<t>: that selects a token N, so the run
// only shows that the program works.
//
// Every framework checks the same opaque truth value, so no compiler can
// fold an assertion away or treat one framework's condition as a constant.
#ifndef ZKTEST_BENCH_ASSERTION_LOOP_H
#define ZKTEST_BENCH_ASSERTION_LOOP_H

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace assertion_loop {

constexpr long kDefaultCount = 10000000;
constexpr long kSmokeCount = 1000;

// True, but the compiler cannot see it: the value passes through an empty
// asm statement that claims to change it.
inline bool opaqueTrue() {
    bool value = true;
    asm volatile("" : "+r"(value));
    return value;
}

// Reads the loop count from argv (and the environment) and removes the
// arguments it used, so that a framework's own parser never sees them.
inline long takeCount(int& argc, char** argv) {
    long count = kDefaultCount;
    if (const char* fromEnvironment = std::getenv("ZKBENCH_N"))
        count = std::atol(fromEnvironment);
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--n=", 4) == 0)
            count = std::atol(argv[i] + 4);
        else if (std::strncmp(argv[i], "--benchmark_min_time", 20) == 0)
            count = kSmokeCount;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return count > 0 ? count : kDefaultCount;
}

// Times body(count) and prints the parseable line.
template <class Body> void timeLoop(const char* framework, long count, Body body) {
    const auto start = std::chrono::steady_clock::now();
    body(count);
    const auto stop = std::chrono::steady_clock::now();
    const double nanoseconds = std::chrono::duration<double, std::nano>(stop - start).count();
    std::printf("assertion loop: %s %ld assertions %.3f ns per assertion\n", framework, count,
                nanoseconds / static_cast<double>(count));
    std::fflush(stdout);
}

} // namespace assertion_loop

#endif
