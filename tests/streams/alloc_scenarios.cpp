// SPDX-License-Identifier: MIT
// Buffers and streams whose lock, buffer or handle record could not be
// allocated answer as closed and write nothing. Linked to the static archive
// so that this operator new also serves the library's allocations.
#include "scenario.h"

#include <cstdio>
#include <new>

// Non-throwing allocations left to succeed before one fails; negative: none.
static int successesLeft = -1;

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (successesLeft >= 0 && successesLeft-- == 0)
        return nullptr;
    return ::operator new(size); // out of memory here ends the test
}

SCENARIO(alloc_failure) {
    const unsigned short wide[] = {'w', 0};
    successesLeft = 0;
    qe_filebuf lockless("lockless.txt", qe_filebuf::truncate);
    std::printf("no lock: open %d write %lu puts %d %d flush %d seek %d tell %d\n",
                lockless.is_open(), lockless.write("x", 1, 1), lockless.puts("x"),
                lockless.puts(wide), lockless.flush(), lockless.seek(0), lockless.tell());
    // A stream allocates its buffer, the buffer's lock, then the handle's record.
    for (int failing = 0; failing < 3; ++failing) {
        successesLeft = failing;
        qe_ofstream stream("stream.txt", qe_filebuf::truncate);
        stream << 1 << "text" << 'c' << wide << endl;
        std::printf("allocation %d failed: open %d tellp %d\n", failing, stream.is_open(),
                    stream.tellp());
    }
    return 0;
}
