// Test helpers for the memory-statistics tests: checked blocks written by
// hand at the documented offsets (not through the library's constants), the
// block table filled by hand as a checked-allocation tool would, and the
// expected log-file texts built independently of the library's formats.
#ifndef ZKTEST_TESTS_MEMSTATS_CHECKED_BLOCK_BUILDER_H
#define ZKTEST_TESTS_MEMSTATS_CHECKED_BLOCK_BUILDER_H

#include "zktest.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace memstats_test {

// The documented layout: a 16-byte header at U-64 with 32-bit pointers; with
// 64-bit pointers the address field is 8 bytes, the header 24 (padded), at
// U-72. The guards are 48 bytes of 'G' on either side.
constexpr std::size_t kPointerSize = sizeof(void*);
constexpr std::size_t kHeaderBytes = kPointerSize == 4 ? 16 : 24;
constexpr std::size_t kHeaderAt = kPointerSize == 4 ? 64 : 72;
constexpr std::size_t kGuard = 48;
constexpr std::size_t kSequenceAt = 8 + kPointerSize;

// Checked blocks laid out one after another in one buffer, so their user
// addresses ascend in the order they were added.
class BlockArena {
public:
    explicit BlockArena(std::size_t bytes = 8192) : storage_(bytes, 0) {}

    // Writes a correct block and returns its user address.
    unsigned char* add(std::uint32_t size, std::uint32_t kind = 0, std::int32_t sequence = 1) {
        // Keep every header 8-byte aligned.
        used_ = (used_ + 7) & ~static_cast<std::size_t>(7);
        unsigned char* start = storage_.data() + used_;
        used_ += kHeaderAt + size + kGuard;
        if (used_ > storage_.size())
            return nullptr;
        unsigned char* user = start + kHeaderAt;
        std::memcpy(start + 0, &kind, 4);
        std::memcpy(start + 4, &size, 4);
        void* self = user;
        std::memcpy(start + 8, &self, kPointerSize);
        std::memcpy(start + kSequenceAt, &sequence, 4);
        std::memset(user - kGuard, 'G', kGuard);
        for (std::uint32_t i = 0; i < size; ++i)
            user[i] = static_cast<unsigned char>(0x30 + i % 64);
        std::memset(user + size, 'G', kGuard);
        return user;
    }

    static const ZKMemStats::BlockHeader* header(const void* user) {
        return reinterpret_cast<const ZKMemStats::BlockHeader*>(
            static_cast<const unsigned char*>(user) - kHeaderAt);
    }
    static void setKind(void* user, std::uint32_t kind) {
        std::memcpy(static_cast<unsigned char*>(user) - kHeaderAt, &kind, 4);
    }
    static void setAddressField(void* user, const void* address) {
        std::memcpy(static_cast<unsigned char*>(user) - kHeaderAt + 8, &address, kPointerSize);
    }

private:
    std::vector<unsigned char> storage_;
    std::size_t used_ = 0;
};

// Fills the instance's table with (address, state) pairs, in the order
// given, and ends any iteration.
inline void setTable(ZKMemStats* stats, std::initializer_list<std::pair<void*, int>> entries) {
    ZKMemStatsImp::BlockTable& table = stats->imp->blockTable;
    std::uint32_t i = 0;
    for (const auto& [address, state] : entries) {
        table.entries[i].address = address;
        table.entries[i].state = static_cast<std::int16_t>(state);
        ++i;
    }
    table.count = i;
    table.cursor = ZKMemStatsImp::kNoCursor;
}

inline void clearTable(ZKMemStats* stats) {
    ZKMemStatsImp::BlockTable& table = stats->imp->blockTable;
    std::memset(table.entries, 0, table.capacity * sizeof(ZKMemStatsImp::BlockEntry));
    table.count = 0;
    table.cursor = ZKMemStatsImp::kNoCursor;
}

// "0x" and two lower-case hex digits per pointer byte.
inline std::string hexAddress(std::uintptr_t value) {
    std::string digits(kPointerSize * 2, '0');
    for (std::size_t i = digits.size(); i-- > 0; value >>= 4)
        digits[i] = "0123456789abcdef"[value & 0xf];
    return "0x" + digits;
}

inline std::string hexAddress(const void* p) {
    return hexAddress(reinterpret_cast<std::uintptr_t>(p));
}

inline std::string starLine() {
    return std::string(67, '*') + "\n";
}

inline std::string tableHead() {
    const char* columns = kPointerSize == 4
                              ? " Operator |    Address |     Size |    Seq # | Error\n"
                              : " Operator |            Address |     Size |    Seq # | Error\n";
    return starLine() + columns + starLine();
}

// One row: the operator right-aligned in 9, size and sequence in 8.
inline std::string row(const std::string& op, std::uintptr_t address, int size, int sequence,
                       const std::string& error) {
    auto pad = [](const std::string& text, std::size_t width) {
        return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
    };
    return pad(op, 9) + " | " + hexAddress(address) + " | " + pad(std::to_string(size), 8) + " | " +
           pad(std::to_string(sequence), 8) + " | " + error + "\n";
}

inline std::string row(const std::string& op, const void* address, int size, int sequence,
                       const std::string& error) {
    return row(op, reinterpret_cast<std::uintptr_t>(address), size, sequence, error);
}

// One dump line of the 16 bytes at `bytes`, shown at address `shownAt` (the
// bytes may be a copy of the ones another process dumped).
inline std::string dumpLine(const unsigned char* bytes, std::uintptr_t shownAt) {
    const char* hex = "0123456789ABCDEF";
    std::string line = hexAddress(shownAt) + "  ";
    for (int i = 0; i < 16; ++i) {
        line += hex[bytes[i] >> 4];
        line += hex[bytes[i] & 0xf];
        line += ' ';
        if (i == 7)
            line += ' ';
    }
    line += ' ';
    for (int i = 0; i < 16; ++i)
        line += (bytes[i] >= 0x20 && bytes[i] < 0x7f) ? static_cast<char>(bytes[i]) : '.';
    return line + "\n";
}

inline std::string dumpLine(const void* from) {
    return dumpLine(static_cast<const unsigned char*>(from),
                    reinterpret_cast<std::uintptr_t>(from));
}

inline std::string headerDump(const unsigned char* user, std::uintptr_t shownAt) {
    return "*** Invalid Header Dump: 16 Guard Bytes ('G') + First 16 Bytes of Block\n" +
           dumpLine(user - 16, shownAt - 16) + dumpLine(user, shownAt);
}

inline std::string headerDump(const unsigned char* user) {
    return headerDump(user, reinterpret_cast<std::uintptr_t>(user));
}

inline std::string trailerDump(const unsigned char* user, std::uint32_t size,
                               std::uintptr_t shownAt) {
    return "*** Invalid Trailer Dump: Last 16 Bytes of Block + 16 Guard Bytes ('G')\n" +
           dumpLine(user + size - 16, shownAt + size - 16) + dumpLine(user + size, shownAt + size);
}

inline std::string trailerDump(const unsigned char* user, std::uint32_t size) {
    return trailerDump(user, size, reinterpret_cast<std::uintptr_t>(user));
}

} // namespace memstats_test

#endif
