// SPDX-License-Identifier: MIT
// The cost of a new/delete pair while N other blocks are live. Built twice:
// linked with zktest::memcheck (every block checked and indexed) and
// without it (the plain heap), so that bench/compare can set one against
// the other and read how the cost grows with N. The checked pair includes
// the quarantine: each delete parks its block and, once 1,024 blocks wait,
// frees the oldest, so the heap hands out memory not touched for a while.
#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <vector>

namespace {

using Payload = std::array<char, 32>;

// The live blocks, kept across benchmark runs: N only grows, so each size
// allocates only what the one before left missing.
std::vector<Payload*>& liveBlocks() {
    static std::vector<Payload*>* blocks = new std::vector<Payload*>;
    return *blocks;
}

void BM_NewDeletePair(benchmark::State& state) {
    std::vector<Payload*>& live = liveBlocks();
    const auto wanted = static_cast<std::size_t>(state.range(0));
    live.reserve(wanted);
    while (live.size() < wanted)
        live.push_back(new Payload());
    for (auto _ : state) {
        Payload* p = new Payload;
        benchmark::DoNotOptimize(p);
        delete p;
    }
}
BENCHMARK(BM_NewDeletePair)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000);

} // namespace

BENCHMARK_MAIN();
