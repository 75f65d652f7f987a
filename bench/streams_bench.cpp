// SPDX-License-Identifier: MIT
// Insertion into a qe_ofstream beside std::ofstream and fprintf on the same
// kind of file: an int, a double and a short string. Each benchmark writes to
// its own file in the temporary directory, removed at the end.
#include "zktest.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string benchFile(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("zktest-bench-") + name))
        .generic_string();
}

// Values read through volatile so the compiler cannot fold the conversions.
volatile int intValue = 1234567;
volatile double doubleValue = 3.14159;
const char* volatile shortText = "short text";

template <class Insert>
void onQeOfstream(benchmark::State& state, const char* name, Insert insert) {
    const std::string path = benchFile(name);
    {
        qe_ofstream stream(path.c_str(), qe_filebuf::truncate);
        for (auto _ : state)
            insert(stream);
    }
    std::filesystem::remove(path);
}

template <class Insert>
void onStdOfstream(benchmark::State& state, const char* name, Insert insert) {
    const std::string path = benchFile(name);
    {
        std::ofstream stream(path);
        for (auto _ : state)
            insert(stream);
    }
    std::filesystem::remove(path);
}

template <class Print> void onFprintf(benchmark::State& state, const char* name, Print print) {
    const std::string path = benchFile(name);
    FILE* file = std::fopen(path.c_str(), "w");
    for (auto _ : state)
        print(file);
    std::fclose(file);
    std::filesystem::remove(path);
}

void BM_QeOfstreamInt(benchmark::State& state) {
    onQeOfstream(state, "qe-int", [](qe_ofstream& s) { s << static_cast<int>(intValue); });
}
void BM_StdOfstreamInt(benchmark::State& state) {
    onStdOfstream(state, "std-int", [](std::ofstream& s) { s << static_cast<int>(intValue); });
}
void BM_FprintfInt(benchmark::State& state) {
    onFprintf(state, "fprintf-int",
              [](FILE* f) { std::fprintf(f, "%d", static_cast<int>(intValue)); });
}

void BM_QeOfstreamDouble(benchmark::State& state) {
    onQeOfstream(state, "qe-double", [](qe_ofstream& s) { s << static_cast<double>(doubleValue); });
}
void BM_StdOfstreamDouble(benchmark::State& state) {
    onStdOfstream(state, "std-double",
                  [](std::ofstream& s) { s << static_cast<double>(doubleValue); });
}
void BM_FprintfDouble(benchmark::State& state) {
    onFprintf(state, "fprintf-double",
              [](FILE* f) { std::fprintf(f, "%G", static_cast<double>(doubleValue)); });
}

void BM_QeOfstreamString(benchmark::State& state) {
    onQeOfstream(state, "qe-string", [](qe_ofstream& s) { s << shortText; });
}
void BM_StdOfstreamString(benchmark::State& state) {
    onStdOfstream(state, "std-string", [](std::ofstream& s) { s << shortText; });
}
void BM_FprintfString(benchmark::State& state) {
    onFprintf(state, "fprintf-string", [](FILE* f) { std::fprintf(f, "%s", shortText); });
}

} // namespace

BENCHMARK(BM_FprintfInt);
BENCHMARK(BM_QeOfstreamInt);
BENCHMARK(BM_StdOfstreamInt);
BENCHMARK(BM_FprintfDouble);
BENCHMARK(BM_QeOfstreamDouble);
BENCHMARK(BM_StdOfstreamDouble);
BENCHMARK(BM_FprintfString);
BENCHMARK(BM_QeOfstreamString);
BENCHMARK(BM_StdOfstreamString);

BENCHMARK_MAIN();
