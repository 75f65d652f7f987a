// SPDX-License-Identifier: MIT
// The table of report files a test object has written, each with the
// assertion and failure counts the object had for it, so that switching the
// report back to a file restores its counts.
//
// Invariants: 1 <= count <= capacity; every entry, used or not, starts
// zero-filled; the last entry in use is the current file. The table owns its
// entry array; copies and assignments copy the entries (deep).
#ifndef ZKTEST_VECTOR_H
#define ZKTEST_VECTOR_H

#include "zkqe_export.h"

class ZKQE_API ZKTestVector {
public:
    // Room for a name of 79 characters and its terminator.
    enum { nameSize = 80 };

    struct Entry {
        int assertions;
        int failures;
        char name[nameSize];
    };

    // One entry in use (entry 0: empty name, counts 0) out of 64.
    ZKTestVector();
    ZKTestVector(const ZKTestVector& other);
    ~ZKTestVector();
    ZKTestVector& operator=(const ZKTestVector& other);

    // Index of the first entry whose name equals `name` byte for byte, or -1.
    // Names longer than 79 characters are compared whole too.
    int findOutfile(const char* name);
    // Appends an entry, growing the table by 64 entries when it is full. A
    // name longer than 79 characters is kept whole beside the entries; its
    // field holds "..." followed by its last 76 characters, which is what
    // printVector shows.
    void insertNewoutFile(int assertions, int failures, const char* name);
    // Number of entries in use, which is also the position (from 1) of the
    // current entry.
    int currentOutfile();
    // Counts of the entry at `index`, 0 <= index < currentOutfile().
    int getAssertions(int index) const;
    int getFailures(int index) const;
    // Set the counts of the current (last) entry.
    void setAssertions(int n);
    void setFailures(int n);
    // Sets both counts of the entry at `index`, 0 <= index < currentOutfile(),
    // so that a file that is not the last one keeps its own counts.
    void setCounts(int index, int assertions, int failures);
    // Gives entry 0, which stands for the file the test object started with,
    // the name of that file, so that switching back to it finds it. Does
    // nothing once entry 0 has a name. Returns true when it named the entry.
    bool nameFirstOutfile(const char* name);
    // Lists every entry in use on the standard output.
    void printVector();

private:
    void resize();

    // The start of one allocation that also holds, after the `capacity`
    // entries, the whole names of those that did not fit their field.
    Entry* entries;
    int count;
    int capacity;
};

#endif
