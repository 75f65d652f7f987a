// SPDX-License-Identifier: MIT
// The memory loggers: the disabled logger that ignores everything and the
// enabled logger that writes the operation table and hex dumps to a log file.
//
// No locking: whatever reports operations serialises its calls. The log file
// is opened through qe_fopen; when it is the standard output or error stream
// the logger flushes it but never closes it. Every row and dump line is
// flushed, so a log survives an abort that follows it.
#include "zkmemstats.h"

#include "zkqe_output.h"

#include "memstats/memstats_internal.h"

#include <cctype>
#include <cstring>
#include <new>

namespace {

// Operator names: allocation takes row kind, deallocation row 2 + kind.
const char kOperatorNames[4][10] = {"new", "new[]", "delete", "delete[]"};

constexpr bool kWidePointers = sizeof(void*) == 8;
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "pointer width without a log format");

constexpr std::size_t kFileNameSize = 512;
constexpr int kBytesPerDumpLine = 16;
constexpr int kDumpBytesAroundGuard = 16;

const char kStarLine[] = "*******************************************************************\n";
static_assert(sizeof kStarLine == 67 + 2, "star line is 67 stars and a newline");

const char* operatorName(int index) {
    return index >= 0 && index < 4 ? kOperatorNames[index] : "?";
}

// The Address column is "0x" and two hex digits per pointer byte. Each width
// casts the address to the type its conversion reads on every data model
// (Windows 64-bit has a 32-bit long), so every build writes the same text.
unsigned long long wideAddress(const void* address) {
    return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address));
}
unsigned long narrowAddress(const void* address) {
    return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(address));
}

} // namespace

namespace zkqe {

namespace {
alignas(ZKDisabledLogger) unsigned char disabledLoggerStorage[sizeof(ZKDisabledLogger)];
alignas(ZKEnabledLogger) unsigned char enabledLoggerStorage[sizeof(ZKEnabledLogger)];
} // namespace

// Built once, whichever ZKMemStatsImp asks first, so that a second
// implementation object never resets a logger that has a file open.
ZKStatsLoggerInterface* theDisabledLogger() {
    static ZKStatsLoggerInterface* const logger = new (disabledLoggerStorage) ZKDisabledLogger;
    return logger;
}

ZKStatsLoggerInterface* theEnabledLogger() {
    static ZKStatsLoggerInterface* const logger = new (enabledLoggerStorage) ZKEnabledLogger;
    return logger;
}

} // namespace zkqe

// ---- ZKStatsLoggerInterface, ZKDisabledLogger ---------------------------

ZKStatsLoggerInterface::~ZKStatsLoggerInterface() {}

ZKDisabledLogger::~ZKDisabledLogger() {}

int ZKDisabledLogger::startLogging(const char*) {
    return 0;
}
void ZKDisabledLogger::logAll() {}
void ZKDisabledLogger::logOnlyErrors() {}
void ZKDisabledLogger::logCorruptedDumps() {}
int ZKDisabledLogger::logAllocation(int, void*, const ZKMemStats::BlockHeader*, unsigned long) {
    return 0;
}
int ZKDisabledLogger::logDeallocation(int, void*, const ZKMemStats::BlockHeader*, unsigned long) {
    return 0;
}
int ZKDisabledLogger::stopLogging() {
    return 0;
}
int ZKDisabledLogger::isLogging() {
    return 0;
}

// ---- ZKEnabledLogger ----------------------------------------------------

ZKEnabledLogger::ZKEnabledLogger()
    : logFile(nullptr), fileName(), logEveryOperation(true), logDumps(false) {}

ZKEnabledLogger::~ZKEnabledLogger() {}

int ZKEnabledLogger::startLogging(const char* path) {
    if (logFile != nullptr && path != nullptr && std::strcmp(path, fileName) == 0)
        return 1;
    stopLogging();
    // A missing name, or one longer than fileName holds, is refused like a
    // file that cannot be opened.
    if (path == nullptr || std::strlen(path) >= kFileNameSize)
        return 0;
    logFile = qe_fopen(path, "w");
    if (logFile == nullptr)
        return 0;
    std::strcpy(fileName, path);

    std::fputs(kStarLine, logFile);
    if (kWidePointers)
        std::fprintf(logFile, "%9s | %18s | %8s | %8s | %s\n", "Operator", "Address", "Size",
                     "Seq #", "Error");
    else
        std::fprintf(logFile, "%9s | %10s | %8s | %8s | %s\n", "Operator", "Address", "Size",
                     "Seq #", "Error");
    std::fputs(kStarLine, logFile);
    return 1;
}

void ZKEnabledLogger::logAll() {
    logEveryOperation = true;
}

void ZKEnabledLogger::logOnlyErrors() {
    logEveryOperation = false;
}

void ZKEnabledLogger::logCorruptedDumps() {
    logDumps = true;
}

int ZKEnabledLogger::logAllocation(int kind, void* address, const ZKMemStats::BlockHeader* header,
                                   unsigned long error) {
    return logOperation(operatorName(kind), address, header, error);
}

int ZKEnabledLogger::logDeallocation(int kind, void* address, const ZKMemStats::BlockHeader* header,
                                     unsigned long error) {
    return logOperation(operatorName(2 + kind), address, header, error);
}

int ZKEnabledLogger::stopLogging() {
    if (logFile != nullptr) {
        if (logFile == stdout || logFile == stderr)
            std::fflush(logFile);
        else
            std::fclose(logFile);
        logFile = nullptr;
    }
    fileName[0] = '\0';
    return 1;
}

int ZKEnabledLogger::isLogging() {
    return logFile != nullptr;
}

int ZKEnabledLogger::logOperation(const char* operatorName, void* address,
                                  const ZKMemStats::BlockHeader* header, unsigned long error) {
    if (error == 0 && !logEveryOperation)
        return 0;
    // Closed (never started, or stopped): nothing to write to, so no row.
    if (logFile == nullptr)
        return 0;
    const int size = header != nullptr ? static_cast<int>(header->size) : 0;
    const int sequence = header != nullptr ? static_cast<int>(header->sequence) : 0;
    char errorText[zkqe::kErrorNameSize + 8] = "";
    if (error != 0)
        std::snprintf(errorText, sizeof errorText, "*** %s ***", zkqe::errorName(error));

    if (kWidePointers)
        std::fprintf(logFile, "%9s | 0x%016llx | %8d | %8d | %s\n", operatorName,
                     wideAddress(address), size, sequence, errorText);
    else
        std::fprintf(logFile, "%9s | 0x%08lx | %8d | %8d | %s\n", operatorName,
                     narrowAddress(address), size, sequence, errorText);
    std::fflush(logFile);

    if (!logDumps)
        return 1;
    const auto* user = static_cast<const unsigned char*>(address);
    if (error & ZKMemStats::InvalidHeader) {
        std::fputs("*** Invalid Header Dump: 16 Guard Bytes ('G') + First 16 Bytes of Block\n",
                   logFile);
        dumpLines(user - kDumpBytesAroundGuard, 2);
    }
    if (error & ZKMemStats::InvalidTrailer) {
        std::fputs("*** Invalid Trailer Dump: Last 16 Bytes of Block + 16 Guard Bytes ('G')\n",
                   logFile);
        dumpLines(user + size - kDumpBytesAroundGuard, 2);
    }
    return 1;
}

int ZKEnabledLogger::dumpLines(const void* from, int lines) {
    if (logFile == nullptr)
        return 1;
    const auto* bytes = static_cast<const unsigned char*>(from);
    for (int line = 0; line < lines; ++line, bytes += kBytesPerDumpLine) {
        // Local buffers keep lines from two threads apart.
        char low[3 * 8 + 1];
        char high[3 * 8 + 1];
        char text[kBytesPerDumpLine + 1];
        for (int i = 0; i < 8; ++i) {
            std::snprintf(low + 3 * i, 4, "%02X ", bytes[i]);
            std::snprintf(high + 3 * i, 4, "%02X ", bytes[8 + i]);
        }
        for (int i = 0; i < kBytesPerDumpLine; ++i)
            text[i] = std::isprint(bytes[i]) ? static_cast<char>(bytes[i]) : '.';
        text[kBytesPerDumpLine] = '\0';
        if (kWidePointers)
            std::fprintf(logFile, "0x%016llx  %s %s %s\n", wideAddress(bytes), low, high, text);
        else
            std::fprintf(logFile, "0x%08lx  %s %s %s\n", narrowAddress(bytes), low, high, text);
        std::fflush(logFile);
    }
    return 1;
}
