// SPDX-License-Identifier: MIT
// The memory-statistics facility: the checked-block format, the one
// ZKMemStats instance with its block table, counters and error handlers, and
// the loggers that write an operation table to a log file.
//
// The library never replaces the global allocation operators and never
// enters blocks into the table: a tool that performs checked allocation
// writes blocks in the format below, keeps ZKMemStatsImp::blockTable sorted,
// moves the counters and calls the handlers and loggers itself.
// (zktest::memcheck, the library's own, lends the instance an index of its
// blocks instead of sorting the table, through hooks that are not an
// interface.)
//
// Ownership: the instance, its ZKMemStatsImp and both loggers live in static
// storage of the library and are never destroyed. Only ZKMemStats::reset
// takes the facility's lock; everything else is unsynchronised, so callers
// that share the facility between threads serialise their calls.
#ifndef ZKMEMSTATS_H
#define ZKMEMSTATS_H

#include "zkqe_export.h"
#include "zkqe_mutex.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

class ZKMemStatsImp;
class ZKStatsLoggerInterface;

class ZKQE_API ZKMemStats {
public:
    // One bit per kind of memory misuse.
    enum ReportableErrors : unsigned int {
        NoError = 0,
        InvalidHeader = 1,
        InvalidTrailer = 2,
        AllocDeallocMismatch = 4,
        AllocationFailure = 8,
        StrayDelete = 16,
        DoubleDelete = 32,
        UserRequestedFailureBeforeAllocation = 0x40000000u,
        UserRequestedFailureAfterAllocation = 0x80000000u
    };

    // Which operator pair a checked block belongs to.
    enum BlockKind : std::uint32_t { ScalarBlock = 0, ArrayBlock = 1 };

    // The header in front of a checked block's leading guard. On 32-bit
    // builds it is the 16-byte record kind, size, address, sequence; wider
    // pointers widen the address field (and the header) and nothing else.
    struct BlockHeader {
        BlockKind kind;        // ScalarBlock or ArrayBlock
        std::uint32_t size;    // bytes the caller asked for
        void* address;         // the user address itself
        std::int32_t sequence; // shown in the log's "Seq #" column
    };

    // A checked block, U being the user address:
    //   U - kHeaderOffset  BlockHeader
    //   U - kGuardSize     leading guard, kGuardSize bytes of kGuardByte
    //   U                  the caller's `size` bytes
    //   U + size           trailing guard, kGuardSize bytes of kGuardByte
    // A block takes size + kBlockOverhead bytes.
    // (Enumerators rather than static data: a DLL exports no inline
    // variables, and a program that binds one to a reference would fail to
    // link on Windows.)
    enum BlockLayout : std::size_t {
        kGuardSize = 48,
        kHeaderOffset = sizeof(BlockHeader) + kGuardSize,
        kBlockOverhead = kHeaderOffset + kGuardSize
    };
    enum GuardByte : unsigned char { kGuardByte = 'G' };

    using ErrorHandler = int (*)(ReportableErrors, const char*);

    // The one instance, created on the first call, which also applies the
    // ZKMEMSTATS environment variable and writes a warning that allocation
    // operators are not replaced here.
    static ZKMemStats* instance();

    // The handler every error starts with: does nothing and returns 0.
    static int ignoreError(ReportableErrors error, const char* text);
    // The handler that the "abort" error mode of ZKMEMSTATS installs: ends
    // the process through the C runtime's abort(). A function of the handler
    // type rather than abort itself, so that calling it is well-defined and
    // its address is the same in every module (on Windows a program and the
    // library each have an abort of their own).
    [[noreturn]] static int abortOnError(ReportableErrors error, const char* text);

    // What is wrong with the checked block at p: NoError, InvalidHeader,
    // InvalidTrailer, or StrayDelete for a pointer the table does not hold
    // as live (null included). Changes nothing.
    ReportableErrors statusOf(void* p) const;

    // Iteration over the live blocks in ascending address order. There is
    // one iteration for the whole process; first() restarts it. Null at the
    // end, and next() keeps answering null after it.
    void* first() const;
    void* next() const;

    long leakedBlocks() const;
    long leakedBytes() const;
    long mismatchedBlocks() const;
    long totalAllocations() const;
    long totalDeallocations() const;
    long newCalls() const;
    long arrayNewCalls() const;
    long deleteCalls() const;
    long arrayDeleteCalls() const;
    long largestRequest() const;
    long strayDeleteCalls() const;
    long doubleDeleteCalls() const;

    // For every k in 1..32 whose bit k-1 is set in mask, handler k becomes
    // `handler`.
    void setErrorHandler(unsigned long mask, ErrorHandler handler);

    // Zeroes all counters under the facility's lock.
    void reset();

    // Logging control. startLogging returns 1 when operations are logged to
    // fileName, 0 when it cannot be opened (logging is off then).
    int startLogging(const char* fileName);
    void stopLogging();
    void logAll();
    void logOnlyErrors();
    void logCorruptedDumps();

    // Writes the statistics lines whose bits are set in mask, cut so that at
    // most size - 1 characters and a NUL are written; returns the characters
    // written (0 for a null buffer or a size of 0).
    unsigned int formatStats(char* buffer, unsigned int size, long mask);

    ZKMemStatsImp* imp;

private:
    ZKMemStats() {}
    ~ZKMemStats() {}

    void configure();

    // Allocation entry points for a test program's own operators. They go
    // straight to the runtime heap: no header, guards, table entry or count.
    void* allocateNormalBlock(unsigned int size);
    void* allocateArrayBlock(unsigned int size);
    void deallocateNormalBlock(void* p);
    void deallocateArrayBlock(void* p);

    static ZKMemStats* mInstance;
};

// The loggers through which operations on checked blocks are reported.
class ZKQE_API ZKStatsLoggerInterface {
public:
    virtual ~ZKStatsLoggerInterface();
    // 1 when operations are now logged to path, 0 when not.
    virtual int startLogging(const char* path) = 0;
    virtual void logAll() = 0;
    virtual void logOnlyErrors() = 0;
    virtual void logCorruptedDumps() = 0;
    // kind is a BlockKind, header the block's header or null, error a set of
    // ReportableErrors bits (0 for a correct operation). 1 when a row was
    // written.
    virtual int logAllocation(int kind, void* address, const ZKMemStats::BlockHeader* header,
                              unsigned long error) = 0;
    virtual int logDeallocation(int kind, void* address, const ZKMemStats::BlockHeader* header,
                                unsigned long error) = 0;
    virtual int stopLogging() = 0;
    // Non-zero while a log file is open.
    virtual int isLogging() = 0;
};

// In use while logging is off: ignores everything.
class ZKQE_API ZKDisabledLogger : public ZKStatsLoggerInterface {
public:
    ~ZKDisabledLogger() override;
    int startLogging(const char* path) override;
    void logAll() override;
    void logOnlyErrors() override;
    void logCorruptedDumps() override;
    int logAllocation(int kind, void* address, const ZKMemStats::BlockHeader* header,
                      unsigned long error) override;
    int logDeallocation(int kind, void* address, const ZKMemStats::BlockHeader* header,
                        unsigned long error) override;
    int stopLogging() override;
    int isLogging() override;
};

// Writes one table row per operation, with the name of any error and, when
// asked, hex dumps of damaged guards. The destructor does not close the
// file: call stopLogging.
class ZKQE_API ZKEnabledLogger : public ZKStatsLoggerInterface {
public:
    // Closed, every operation logged, no dumps.
    ZKEnabledLogger();
    ~ZKEnabledLogger() override;
    ZKEnabledLogger(const ZKEnabledLogger&) = delete;
    ZKEnabledLogger& operator=(const ZKEnabledLogger&) = delete;

    // Opens path (through qe_fopen, so "/dev/stderr" and "/dev/stdout" name
    // the standard streams) and writes the table head. The file already open
    // under the same name goes on untouched; any other is closed first.
    int startLogging(const char* path) override;
    void logAll() override;
    void logOnlyErrors() override;
    // There is no way back: dumps stay on.
    void logCorruptedDumps() override;
    int logAllocation(int kind, void* address, const ZKMemStats::BlockHeader* header,
                      unsigned long error) override;
    int logDeallocation(int kind, void* address, const ZKMemStats::BlockHeader* header,
                        unsigned long error) override;
    // Closes the file, if any; returns 1.
    int stopLogging() override;
    int isLogging() override;

    // Writes one row, flushed, and the dumps that the error and the settings
    // call for. 0 when the row is skipped (a correct operation while only
    // errors are logged).
    virtual int logOperation(const char* operatorName, void* address,
                             const ZKMemStats::BlockHeader* header, unsigned long error);
    // Writes `lines` dump lines of 16 bytes each from `from` on; returns 1.
    int dumpLines(const void* from, int lines);
    // False while only errors are logged.
    bool logsEveryOperation() const { return logEveryOperation; }

private:
    FILE* logFile;
    char fileName[512];
    bool logEveryOperation;
    bool logDumps;
};

// The facility's state. A tool that performs checked allocation works on
// these fields directly: it enters blocks into blockTable in address order,
// moves the counters, calls errorHandlers and currentLogger.
class ZKQE_API ZKMemStatsImp {
public:
    // One known block: live while state is greater than zero.
    struct BlockEntry {
        void* address;
        std::int16_t state;
    };

    // The known blocks, sorted by ascending user address.
    struct BlockTable {
        BlockEntry* entries;    // null when it could not be allocated
        std::uint32_t count;    // entries in use
        std::uint32_t capacity; // kInitialCapacity once the array exists, else 0
        std::uint32_t cursor;   // the iteration's current entry, or kNoCursor
    };
    enum TableConstants : std::uint32_t { kInitialCapacity = 1024, kNoCursor = 0xffffffffu };

    // Entry k (1..32) handles error bit k-1; entry 0 is not used.
    enum Sizes { kErrorHandlerCount = 33, kCounterCount = 32 };

    // Counter indices, in the order the statistics lines follow.
    enum Counter {
        LeakedBlocksCounter,
        LeakedBytesCounter,
        MismatchedBlocksCounter,
        TotalAllocationsCounter,
        TotalDeallocationsCounter,
        NewCallsCounter,
        ArrayNewCallsCounter,
        DeleteCallsCounter,
        ArrayDeleteCallsCounter,
        LargestRequestCounter,
        StrayDeleteCallsCounter,
        DoubleDeleteCallsCounter
    };

    // Lock initialised, every handler ZKMemStats::ignoreError, an empty table
    // with its first array, logging off (the library's two loggers), counters
    // zero.
    ZKMemStatsImp();
    // Releases the table's array and the lock.
    ~ZKMemStatsImp();
    // A copy would share the table's array between two owners and cannot copy
    // the lock; nothing copies the implementation object, so it is refused.
    ZKMemStatsImp(const ZKMemStatsImp&) = delete;
    ZKMemStatsImp& operator=(const ZKMemStatsImp&) = delete;

    // Zeroes all counters, without the lock.
    void reset();
    // Pass-through to the runtime heap; the last two arguments are unused.
    void* allocateBlock(unsigned int size, unsigned int kind, long& sequence);
    void deallocateBlock(void* p, unsigned int kind, long& sequence);

    ZKQEMutex mutex;
    ZKMemStats::ErrorHandler errorHandlers[kErrorHandlerCount];
    ZKStatsLoggerInterface* currentLogger;
    BlockTable blockTable;
    long counters[kCounterCount];
    ZKStatsLoggerInterface* disabledLogger;
    ZKStatsLoggerInterface* enabledLogger;
};

#endif
