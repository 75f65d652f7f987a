// SPDX-License-Identifier: MIT
// The lines a borrowed qe_filebuf gathers, one per thread: a thread's text
// waits here until it ends a line and then goes to the file in one write, so
// a stream piece ("# " and what follows) is never split by another thread's
// line. Not an interface: the report's owner and the buffer use it.
//
// Every member but handOverAll runs with the buffer's lock held.
#ifndef ZKQE_STREAMS_STREAM_PIECES_H
#define ZKQE_STREAMS_STREAM_PIECES_H

#include "zkqe_mutex.h"
#include "zkqe_streams.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zkqe {

class StreamPieces {
public:
    // Writes every thread's waiting text to the buffer's file as it is, each
    // whole: the file is about to be let go of for good (the run's end), and
    // a piece that never ended its line is still the writer's.
    static void handOverAll(qe_filebuf& buffer);
    // The buffer's own lock, for an owner that moves the FILE the buffer
    // borrows: held across the move, no thread's text falls between the two
    // files. Null for a buffer without one.
    static ZKQEMutex* lockOf(qe_filebuf& buffer) { return buffer.mutex; }

    // Adds the calling thread's `text`; hands its finished lines over when a
    // file is there. Returns false when a write failed.
    bool add(FILE* file, const char* text, std::size_t length);
    // Hands over the finished lines of every thread: a file was just
    // borrowed, and they were ended while none was.
    void handOverFinished(FILE* file);
    // Hands over all the calling thread's text, ended or not (a flush).
    bool handOverMine(FILE* file);

private:
    struct Piece {
        const void* thread;
        std::string text;
    };
    // The calling thread's piece, made when it has none.
    std::size_t mine();
    // Writes `text`'s first `length` bytes whole and drops them; an emptied
    // piece is removed.
    bool handOver(FILE* file, std::size_t index, std::size_t length);

    std::vector<Piece> pieces_;
};

} // namespace zkqe

#endif
