// SPDX-License-Identifier: MIT
// ZKTestVector: the test object's table of report files and their saved
// counts. A plain growable array of fixed-size entries searched by name.
//
// Invariants: 1 <= count <= capacity; every entry starts zero-filled; the
// array grows by 64 entries at a time and only grows. Each table owns its own
// array: copies and assignments duplicate the entries.
//
// A name longer than the entry's field is kept whole beside the entries, in
// the same allocation: one owned pointer per entry, null for a name that
// fits. Two report paths that share their end must never be taken for one
// file, and the class keeps the layout that test programs were built with.
// A name that fits is stored and compared exactly as the field holds it.
#include "zktest_vector.h"

#include "diagnostics/diagnostics.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr int kGrowth = 64;
constexpr std::size_t kMaxNameLength = ZKTestVector::nameSize - 1;
constexpr const char kShortenedMark[] = "...";

std::size_t asSize(int n) {
    return static_cast<std::size_t>(n);
}

// Where the whole names start: after the entries, aligned for a pointer.
std::size_t wholeNamesOffset(int capacity) {
    constexpr std::size_t align = alignof(char*);
    return (sizeof(ZKTestVector::Entry) * asSize(capacity) + align - 1) / align * align;
}

char** wholeNames(ZKTestVector::Entry* entries, int capacity) {
    return reinterpret_cast<char**>(reinterpret_cast<unsigned char*>(entries) +
                                    wholeNamesOffset(capacity));
}

ZKTestVector::Entry* newZeroedEntries(int capacity) {
    const std::size_t bytes = wholeNamesOffset(capacity) + sizeof(char*) * asSize(capacity);
    void* block = ::operator new(bytes, std::nothrow);
    if (block == nullptr)
        zkqe::outOfMemory();
    std::memset(block, 0, bytes);
    auto* entries = static_cast<ZKTestVector::Entry*>(block);
    char** names = wholeNames(entries, capacity);
    for (int i = 0; i < capacity; ++i)
        ::new (static_cast<void*>(names + i)) char*(nullptr);
    return entries;
}

// Releases the block; the whole names go with it unless they were moved on.
void releaseEntries(ZKTestVector::Entry* entries, int used, int capacity, bool withNames) {
    if (withNames) {
        char** names = wholeNames(entries, capacity);
        for (int i = 0; i < used; ++i)
            delete[] names[i];
    }
    ::operator delete(entries);
}

char* copyOf(const char* name) {
    if (name == nullptr)
        return nullptr;
    const std::size_t size = std::strlen(name) + 1;
    char* copy = new (std::nothrow) char[size];
    if (copy == nullptr)
        zkqe::outOfMemory();
    std::memcpy(copy, name, size);
    return copy;
}

ZKTestVector::Entry* copyEntries(ZKTestVector::Entry* from, int used, int fromCapacity,
                                 int capacity) {
    ZKTestVector::Entry* to = newZeroedEntries(capacity);
    std::memcpy(to, from, sizeof(ZKTestVector::Entry) * asSize(used));
    char** fromNames = wholeNames(from, fromCapacity);
    char** toNames = wholeNames(to, capacity);
    for (int i = 0; i < used; ++i)
        toNames[i] = copyOf(fromNames[i]);
    return to;
}

// What the field holds: the name itself when it fits, otherwise "..."
// followed by its last 76 characters, since report paths that share a long
// directory differ at their end.
void fieldForm(const char* name, char (&out)[ZKTestVector::nameSize]) {
    const std::size_t length = std::strlen(name);
    if (length <= kMaxNameLength) {
        std::memcpy(out, name, length + 1);
        return;
    }
    constexpr std::size_t markLength = sizeof kShortenedMark - 1;
    constexpr std::size_t tailLength = kMaxNameLength - markLength;
    std::memcpy(out, kShortenedMark, markLength);
    std::memcpy(out + markLength, name + length - tailLength, tailLength + 1);
}

// Stores `name` into a fresh entry `index`: the field, and the whole name
// beside it when it does not fit.
void storeName(ZKTestVector::Entry* entries, int capacity, int index, const char* name) {
    if (name == nullptr)
        name = ""; // no name: stored and found as the empty one
    fieldForm(name, entries[index].name);
    if (std::strlen(name) > kMaxNameLength)
        wholeNames(entries, capacity)[index] = copyOf(name);
}

} // namespace

ZKTestVector::ZKTestVector() : entries(newZeroedEntries(kGrowth)), count(1), capacity(kGrowth) {}

ZKTestVector::ZKTestVector(const ZKTestVector& other)
    : entries(copyEntries(other.entries, other.count, other.capacity, other.capacity)),
      count(other.count), capacity(other.capacity) {}

ZKTestVector::~ZKTestVector() {
    releaseEntries(entries, count, capacity, true);
}

ZKTestVector& ZKTestVector::operator=(const ZKTestVector& other) {
    if (this == &other)
        return *this;
    Entry* copy = copyEntries(other.entries, other.count, other.capacity, other.capacity);
    releaseEntries(entries, count, capacity, true);
    entries = copy;
    count = other.count;
    capacity = other.capacity;
    return *this;
}

int ZKTestVector::findOutfile(const char* name) {
    if (name == nullptr)
        name = "";
    char* const* whole = wholeNames(entries, capacity);
    for (int i = 0; i < count; ++i)
        if (std::strcmp(whole[i] != nullptr ? whole[i] : entries[i].name, name) == 0)
            return i;
    return -1;
}

void ZKTestVector::insertNewoutFile(int assertions, int failures, const char* name) {
    if (count + 1 > capacity)
        resize();
    Entry& entry = entries[count];
    entry.assertions = assertions;
    entry.failures = failures;
    storeName(entries, capacity, count, name);
    ++count;
}

int ZKTestVector::currentOutfile() {
    return count;
}

int ZKTestVector::getAssertions(int index) const {
    return entries[index].assertions;
}

int ZKTestVector::getFailures(int index) const {
    return entries[index].failures;
}

void ZKTestVector::setAssertions(int n) {
    entries[count - 1].assertions = n;
}

void ZKTestVector::setFailures(int n) {
    entries[count - 1].failures = n;
}

void ZKTestVector::setCounts(int index, int assertions, int failures) {
    entries[index].assertions = assertions;
    entries[index].failures = failures;
}

bool ZKTestVector::nameFirstOutfile(const char* name) {
    if (entries[0].name[0] != '\0' || name == nullptr)
        return false;
    storeName(entries, capacity, 0, name);
    return true;
}

void ZKTestVector::printVector() {
    for (int i = 0; i < count; ++i) {
        std::printf("THE OUTFILE NAME IS : %s\n", entries[i].name);
        std::printf("THE ASSERTIONS ARE  : %i\n", entries[i].assertions);
        std::printf("THE FAILURES   ARE  : %i\n", entries[i].failures);
    }
}

void ZKTestVector::resize() {
    Entry* grown = newZeroedEntries(capacity + kGrowth);
    std::memcpy(grown, entries, sizeof(Entry) * asSize(count));
    // The whole names move to the new block; the old one is released bare.
    std::memcpy(wholeNames(grown, capacity + kGrowth), wholeNames(entries, capacity),
                sizeof(char*) * asSize(count));
    releaseEntries(entries, count, capacity, false);
    entries = grown;
    capacity += kGrowth;
}
