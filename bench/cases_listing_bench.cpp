// SPDX-License-Identifier: MIT
// A program of 100,000 cases listed with --list-names, as CTest discovery
// does at every start: the duplicate-name check and the listing together.
// The names go to the null device; the figures to standard output.
#include <zktest_cases.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kCases = 100000;

void emptyCase(ZKQETest&) {}

const bool registered = [] {
    static std::vector<std::string> names;
    names.reserve(kCases);
    for (int i = 0; i < kCases; ++i)
        names.push_back("case " + std::to_string(i));
    for (int i = 0; i < kCases; ++i)
        zktest::registerCase(&emptyCase, __FILE__, i, names[i].c_str());
    return true;
}();

void listNames(benchmark::State& state) {
    char program[] = "cases", flag[] = "--list-names";
    char* argv[] = {program, flag, nullptr};
    const int nullDevice = open("/dev/null", O_WRONLY);
    std::fflush(stdout);
    const int savedOutput = dup(1);
    dup2(nullDevice, 1);
    int status = 0;
    for (auto _ : state)
        status |= zktest::runCases(2, argv);
    std::fflush(stdout);
    dup2(savedOutput, 1);
    close(savedOutput);
    close(nullDevice);
    if (status != 0 || !registered)
        state.SkipWithError("listing failed");
    state.counters["cases"] = kCases;
}
BENCHMARK(listNames)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
