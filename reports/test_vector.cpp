// ZKTestVector: the test object's table of report files and their saved
// counts. A plain growable array of fixed-size entries searched by name.
//
// Invariants: 1 <= count <= capacity; every entry starts zero-filled; the
// array grows by 64 entries at a time and only grows. Each table owns its own
// array: copies and assignments duplicate the entries.
#include "zktest_vector.h"

#include "driver/diagnostics/diagnostics.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr int kGrowth = 64;
constexpr std::size_t kMaxNameLength = ZKTestVector::nameSize - 1;
constexpr const char kShortenedMark[] = "...";

ZKTestVector::Entry* newZeroedEntries(int capacity) {
    auto* entries = new (std::nothrow) ZKTestVector::Entry[static_cast<std::size_t>(capacity)]();
    if (entries == nullptr)
        zkqe::outOfMemory();
    return entries;
}

// The form in which a name is kept: itself when it fits, otherwise "..."
// followed by its last 76 characters, since report paths that share a long
// directory differ at their end.
void storedForm(const char* name, char (&out)[ZKTestVector::nameSize]) {
    if (name == nullptr)
        name = ""; // no name: stored and found as the empty one
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

} // namespace

ZKTestVector::ZKTestVector() : entries(newZeroedEntries(kGrowth)), count(1), capacity(kGrowth) {}

ZKTestVector::ZKTestVector(const ZKTestVector& other)
    : entries(newZeroedEntries(other.capacity)), count(other.count), capacity(other.capacity) {
    std::memcpy(entries, other.entries, sizeof(Entry) * static_cast<std::size_t>(count));
}

ZKTestVector::~ZKTestVector() {
    delete[] entries;
}

ZKTestVector& ZKTestVector::operator=(const ZKTestVector& other) {
    if (this == &other)
        return *this;
    Entry* copy = newZeroedEntries(other.capacity);
    std::memcpy(copy, other.entries, sizeof(Entry) * static_cast<std::size_t>(other.count));
    delete[] entries;
    entries = copy;
    count = other.count;
    capacity = other.capacity;
    return *this;
}

int ZKTestVector::findOutfile(const char* name) {
    char wanted[nameSize];
    storedForm(name, wanted);
    for (int i = 0; i < count; ++i)
        if (std::strcmp(entries[i].name, wanted) == 0)
            return i;
    return -1;
}

void ZKTestVector::insertNewoutFile(int assertions, int failures, const char* name) {
    if (count + 1 > capacity)
        resize();
    Entry& entry = entries[count];
    entry.assertions = assertions;
    entry.failures = failures;
    storedForm(name, entry.name);
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
    storedForm(name, entries[0].name);
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
    std::memcpy(grown, entries, sizeof(Entry) * static_cast<std::size_t>(count));
    delete[] entries;
    entries = grown;
    capacity += kGrowth;
}
