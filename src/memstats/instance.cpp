// SPDX-License-Identifier: MIT
// The one ZKMemStats instance: creation on first use, configuration from the
// ZKMEMSTATS environment variable, logging control and the formatted
// statistics.
//
// The instance and its ZKMemStatsImp are built in static storage and never
// destroyed, so they stay usable during exit. instance() takes no lock: the
// first call must finish before a second thread uses the facility. The
// option callbacks call instance() again while the first call configures;
// mInstance is set before configure() for that reason.
#include "zkmemstats.h"

#include "zkoptions.h"
#include "zkqe_output.h"

#include "memstats/allocator_hooks.h"
#include "memstats/memstats_internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

ZKMemStats* ZKMemStats::mInstance = nullptr;

namespace {

bool operatorsReplaced = false;

alignas(ZKMemStats) unsigned char instanceStorage[sizeof(ZKMemStats)];
alignas(ZKMemStatsImp) unsigned char impStorage[sizeof(ZKMemStatsImp)];

// Bits 0 to 29: every error but the two user-requested failures, whose
// handlers "-error" leaves as they are.
constexpr unsigned long kConfigurableErrors = 0x3fffffffUL;

constexpr int kStatsLines = 32;
constexpr int kStatsLineSize = 32;
constexpr std::size_t kStatsScratchSize = 64;

// Row i goes with counter i and bit i of formatStats' mask; rows without a
// counter line are empty.
const char kStatsLineFormats[kStatsLines][kStatsLineSize] = {
    "Leaked Blocks         : %ld\n", "Leaked Bytes          : %ld\n",
    "Mismatched Blocks     : %ld\n", "Total Allocations     : %ld\n",
    "Total Deallocations   : %ld\n", "New Calls             : %ld\n",
    "Array New Calls       : %ld\n", "Delete Calls          : %ld\n",
    "Array Delete Calls    : %ld\n", "Largest Request       : %ld\n",
    "Stray Delete Calls    : %ld\n", "Double Delete Calls   : %ld\n",
};

bool endsModes(const char* word) {
    return word == nullptr || word[0] == '-';
}

} // namespace

namespace zkqe {

void* logOptionHandler(char*** cursor, void* context) {
    char** words = *cursor;
    // "-log" as the last word names no file: say so and leave logging off.
    if (words[1] == nullptr) {
        qe_fprintf(stderr, "missing log file name after %s\n", words[0]);
        return context;
    }
    ZKMemStats* stats = ZKMemStats::instance();
    // The word after the option is the file name, whatever it looks like.
    stats->startLogging(words[1]);
    for (char** mode = words + 2; !endsModes(*mode); ++mode) {
        if (std::strcmp(*mode, "all") == 0)
            stats->logAll();
        else if (std::strcmp(*mode, "errors") == 0)
            stats->logOnlyErrors();
        else if (std::strcmp(*mode, "dumps") == 0)
            stats->logCorruptedDumps();
        else
            qe_fprintf(stderr, "unrecognized logging option: %s\n", *mode);
    }
    return context;
}

void* errorOptionHandler(char*** cursor, void* context) {
    ZKMemStats* stats = ZKMemStats::instance();
    for (char** mode = *cursor + 1; !endsModes(*mode); ++mode) {
        if (std::strcmp(*mode, "abort") == 0)
            stats->setErrorHandler(kConfigurableErrors, ZKMemStats::abortOnError);
        else if (std::strcmp(*mode, "ignore") == 0)
            stats->setErrorHandler(kConfigurableErrors, ZKMemStats::ignoreError);
        else
            qe_fprintf(stderr, "unrecognized error-handling option: %s\n", *mode);
    }
    return context;
}

} // namespace zkqe

void zktest::allocator_hooks::noteOperatorsReplaced() {
    operatorsReplaced = true;
}

ZKMemStats* ZKMemStats::instance() {
    if (mInstance != nullptr)
        return mInstance;
    ZKMemStats* stats = new (instanceStorage) ZKMemStats;
    stats->imp = new (impStorage) ZKMemStatsImp;
    mInstance = stats;
    stats->configure();
    // perror appends ": " and the message of whatever errno holds now.
    if (!operatorsReplaced)
        std::perror("warning: operator replacement is not supported in this environment");
    return mInstance;
}

void ZKMemStats::configure() {
    const char* value = std::getenv("ZKMEMSTATS");
    if (value == nullptr)
        return;
    options_handler handler;
    handler.set_opt(zkqe::logOptionHandler, nullptr, 'l', "log");
    handler.set_opt(zkqe::errorOptionHandler, nullptr, 'e', "error");
    handler.process_opts(value);
}

int ZKMemStats::startLogging(const char* fileName) {
    if (imp->enabledLogger->startLogging(fileName) != 0) {
        imp->currentLogger = imp->enabledLogger;
        return 1;
    }
    imp->currentLogger->stopLogging();
    imp->currentLogger = imp->disabledLogger;
    return 0;
}

void ZKMemStats::stopLogging() {
    imp->currentLogger->stopLogging();
    imp->currentLogger = imp->disabledLogger;
}

void ZKMemStats::logAll() {
    imp->currentLogger->logAll();
}

void ZKMemStats::logOnlyErrors() {
    imp->currentLogger->logOnlyErrors();
}

void ZKMemStats::logCorruptedDumps() {
    imp->currentLogger->logCorruptedDumps();
}

unsigned int ZKMemStats::formatStats(char* buffer, unsigned int size, long mask) {
    if (buffer == nullptr || size == 0)
        return 0;
    const unsigned int limit = size - 1;
    unsigned int written = 0;
    for (int i = 0; i < kStatsLines && written < limit; ++i) {
        unsigned int n = 0;
        char scratch[kStatsScratchSize];
        if (((static_cast<unsigned long>(mask) >> i) & 1ul) && kStatsLineFormats[i][0] != '\0') {
            const int length =
                std::snprintf(scratch, sizeof scratch, kStatsLineFormats[i], imp->counters[i]);
            if (length > 0)
                n = static_cast<unsigned int>(std::strlen(scratch));
        }
        if (n >= limit - written)
            n = limit - written;
        std::memcpy(buffer + written, scratch, n);
        written += n;
    }
    buffer[written] = '\0';
    return written;
}
