// SPDX-License-Identifier: MIT
// Checked blocks as an allocation tool lays them out, in the instance's
// table: their status, the iteration over the table, and the log that
// ZKMEMSTATS configures (addresses masked, so the golden holds the rest).
#include "open_descriptors.h"
#include "scenario.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Blocks one after another in one buffer, so user addresses ascend.
alignas(16) unsigned char arena[4096];
std::size_t used = 0;

unsigned char* addBlock(std::uint32_t size, ZKMemStats::BlockKind kind, std::int32_t sequence) {
    unsigned char* user = arena + used + ZKMemStats::kHeaderOffset;
    used += (ZKMemStats::kBlockOverhead + size + 15) / 16 * 16;
    const ZKMemStats::BlockHeader header{kind, size, user, sequence};
    std::memcpy(user - ZKMemStats::kHeaderOffset, &header, sizeof header);
    std::memset(user - ZKMemStats::kGuardSize, ZKMemStats::kGuardByte, ZKMemStats::kGuardSize);
    std::memset(user, 'u', size);
    std::memset(user + size, ZKMemStats::kGuardByte, ZKMemStats::kGuardSize);
    return user;
}

const ZKMemStats::BlockHeader* headerOf(const unsigned char* user) {
    return reinterpret_cast<const ZKMemStats::BlockHeader*>(user - ZKMemStats::kHeaderOffset);
}

} // namespace

SCENARIO(blocks) {
    ZKMemStats* stats = ZKMemStats::instance();
    unsigned char* blocks[7];
    for (int i = 0; i < 7; ++i)
        blocks[i] = addBlock(10 + i, i % 2 ? ZKMemStats::ArrayBlock : ZKMemStats::ScalarBlock, i);
    blocks[1][-1] = 'x';                                        // last byte of the leading guard
    blocks[2][-static_cast<int>(ZKMemStats::kGuardSize)] = 'x'; // its first byte
    blocks[3][13 + ZKMemStats::kGuardSize - 1] = 'x';           // last byte of the trailing guard
    std::memset(blocks[4] - ZKMemStats::kHeaderOffset, 7, 4);   // no such kind
    ZKMemStatsImp::BlockTable& table = stats->imp->blockTable;
    for (int i = 0; i < 7; ++i)
        table.entries[i] = {blocks[i], static_cast<std::int16_t>(i == 5 ? 0 : 1)}; // 5 is released
    table.count = 7;
    static unsigned char unknown[8];
    for (void* p : {static_cast<void*>(blocks[0]), static_cast<void*>(blocks[1]),
                    static_cast<void*>(blocks[2]), static_cast<void*>(blocks[3]),
                    static_cast<void*>(blocks[4]), static_cast<void*>(blocks[5]),
                    static_cast<void*>(blocks[6]), static_cast<void*>(unknown)})
        std::printf("status %u\n", static_cast<unsigned>(stats->statusOf(p)));
    // Checked as they are walked: each by the walk's own entry, another by
    // a search.
    for (void* p = stats->first(); p != nullptr; p = stats->next())
        std::printf("live block of %u bytes: status %u, the released one's %u\n",
                    headerOf(static_cast<unsigned char*>(p))->size,
                    static_cast<unsigned>(stats->statusOf(p)),
                    static_cast<unsigned>(stats->statusOf(blocks[5])));

    // The log that ZKMEMSTATS named, in the mode it chose.
    ZKStatsLoggerInterface* log = stats->imp->currentLogger;
    log->logAllocation(0, blocks[0], headerOf(blocks[0]), 0);
    // Naming the open log again keeps it, rows and all.
    std::printf("started again: %d\n", stats->startLogging(std::getenv("ZKTEST_LOG")));
    std::printf("logged: %d\n",
                log->logDeallocation(1, blocks[1], headerOf(blocks[1]), ZKMemStats::InvalidHeader));
    log->logDeallocation(0, blocks[3], headerOf(blocks[3]), ZKMemStats::InvalidTrailer);
    stats->logOnlyErrors();
    log->logAllocation(0, blocks[6], headerOf(blocks[6]), 0);
    log->logDeallocation(0, unknown, nullptr, ZKMemStats::StrayDelete);
    stats->stopLogging();
    std::fprintf(stderr, "standard error still open\n");
    return 0;
}

// A log started while another is open closes that one first, whole: it can
// be read at once, and only the new one holds a descriptor.
SCENARIO(switch_logs) {
    ZKMemStats* stats = ZKMemStats::instance();
    unsigned char* block = addBlock(8, ZKMemStats::ScalarBlock, 0);
    const int openBefore = openDescriptors();
    stats->startLogging("first.log");
    stats->logAll();
    stats->imp->currentLogger->logAllocation(0, block, headerOf(block), 0);
    stats->startLogging("second.log");
    std::printf("descriptors held: %d\n", openDescriptors() - openBefore);
    if (std::FILE* first = std::fopen("first.log", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, first) != nullptr)
            std::printf("first.log: %s", line);
        std::fclose(first);
    }
    stats->stopLogging();
    std::printf("descriptors held after the stop: %d\n", openDescriptors() - openBefore);
    // A log that cannot be opened is refused, and nothing is left open.
    std::printf("a log in a missing folder: %d\n", stats->startLogging("missing/third.log"));
    std::printf("descriptors held after the refusal: %d\n", openDescriptors() - openBefore);
    return 0;
}
