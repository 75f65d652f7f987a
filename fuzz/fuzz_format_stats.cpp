// SPDX-License-Identifier: MIT
// Fuzzer of ZKMemStats::formatStats: random counter values, masks and buffer
// sizes.
//
// Checked on every input, besides what the sanitizers see:
//  - at most size - 1 characters are written, then a NUL, and nothing past
//    the size bytes the caller owns (the buffer is allocated with exactly
//    that many bytes);
//  - the result is the length of the text written;
//  - the text is the longest prefix, within the limit, of the full text for
//    the mask: the selected lines of the twelve statistics in row order,
//    built here independently from the counters;
//  - a null buffer or a size of 0 gives 0.
#include "zkmemstats.h"

#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char* const kLabels[] = {
    "Leaked Blocks",       "Leaked Bytes",    "Mismatched Blocks",  "Total Allocations",
    "Total Deallocations", "New Calls",       "Array New Calls",    "Delete Calls",
    "Array Delete Calls",  "Largest Request", "Stray Delete Calls", "Double Delete Calls",
};
constexpr int kLines = sizeof kLabels / sizeof kLabels[0];

std::string fullText(const long* counters, long mask) {
    std::string text;
    for (int i = 0; i < kLines; ++i) {
        if (((static_cast<unsigned long>(mask) >> i) & 1u) == 0)
            continue;
        std::string label = kLabels[i];
        label.resize(22, ' ');
        text += label + ": " + std::to_string(counters[i]) + "\n";
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t count) {
    FuzzedDataProvider data(bytes, count);
    ZKMemStats* stats = ZKMemStats::instance();
    long* counters = stats->imp->counters;
    for (int i = 0; i < ZKMemStatsImp::kCounterCount; ++i)
        counters[i] = data.ConsumeIntegral<long>();
    const long mask = data.ConsumeIntegral<long>();
    const unsigned int size = data.ConsumeIntegralInRange<unsigned int>(0, 1200);

    FUZZ_CHECK(stats->formatStats(nullptr, size, mask) == 0);
    char untouched = 'x';
    FUZZ_CHECK(stats->formatStats(&untouched, 0, mask) == 0 && untouched == 'x');
    if (size == 0)
        return 0;

    std::unique_ptr<char[]> buffer(new char[size]);
    std::memset(buffer.get(), 0x5A, size);
    const unsigned int written = stats->formatStats(buffer.get(), size, mask);
    FUZZ_CHECK(written <= size - 1);
    FUZZ_CHECK(buffer[written] == '\0');
    FUZZ_CHECK(std::strlen(buffer.get()) == written);
    const std::string full = fullText(counters, mask);
    const std::size_t limit = size - 1;
    FUZZ_CHECK(written == (full.size() < limit ? full.size() : limit));
    FUZZ_CHECK(full.compare(0, written, buffer.get(), written) == 0);
    return 0;
}
