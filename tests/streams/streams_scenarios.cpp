// SPDX-License-Identifier: MIT
// Scenarios of the stream family. Each prints what buffers and streams
// answer and leaves its files behind for the golden. It ends through _Exit,
// which flushes no C stream on POSIX, so a file holds only what the library
// flushed or closed itself.
#include "scenario.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

static int finish() {
    std::fflush(stdout);
    std::_Exit(0);
}

SCENARIO(buffer) {
    qe_filebuf closed;
    std::printf("closed: open %d write %lu puts %d flush %d seek %d %d tell %d\n", closed.is_open(),
                closed.write("abc", 1, 3), closed.puts("abc"), closed.flush(), closed.seek(0),
                closed.seek(0, SEEK_END), closed.tell());
    {
        qe_filebuf buffer("kept.txt", qe_filebuf::truncate);
        buffer.write("old|", 2, 2);
        buffer.close();
        buffer.open("kept.txt", qe_filebuf::append);
        buffer.open("ignored.txt", qe_filebuf::truncate); // a file is open already
        buffer.puts("new");
    } // destruction closes

    // Pairs (the last the highest code point), a lone high before a letter,
    // a lone low after one, a low before a high at the end.
    const unsigned short mixed[] = {'H',    0xE9, 0x20AC, 0xD83D, 0xDE00, 0xDBFF, 0xDFFF,
                                    0xD800, 'A',  'B',    0xDFFF, 0xDC00, 0xD800, 0};
    std::vector<unsigned short> repeated(101, 0x263A); // more bytes than one chunk
    repeated.back() = 0;
    qe_filebuf utf8("utf16.bin", qe_filebuf::truncate), chunks("long.txt", qe_filebuf::truncate);
    std::printf("utf-16: %d bytes, empty %d, null %d, closed %d, long %d\n", utf8.puts(mixed),
                utf8.puts(&repeated.back()), utf8.puts(static_cast<const unsigned short*>(nullptr)),
                closed.puts(mixed), chunks.puts(repeated.data()));
    chunks.close();
    utf8.close();
    return finish();
}

SCENARIO(stream) {
    qe_ofstream raw("raw.bin", qe_filebuf::truncate);
    raw.put(0x01020304).put(0xFFFFFFFEu).put(static_cast<short>(-32768));
    raw.put(static_cast<unsigned short>(0xABCD)).put(0x0102030405060708LL).put(1ULL).put(-2L);
    raw.put(static_cast<unsigned long>(0x0B0C0D0E12345678ULL)).put('x');
    raw.put(static_cast<signed char>(-1)).put(static_cast<unsigned char>(200));
    raw << hex << 'A' << static_cast<unsigned char>(201) << static_cast<signed char>(-2) << flush;

    qe_ofstream out("out.txt", qe_filebuf::truncate);
    const signed char signedText[] = {'s', 0};
    const unsigned char unsignedText[] = {'u', 0};
    const unsigned short wide[] = {0xE9, 0};
    void* address = reinterpret_cast<void*>(std::size_t{0xABCDEF});
    out << "text " << signedText << ' ' << unsignedText << ' ' << wide << ' ' << 1.5f << ' ' << 1.5
        << ' ' << 1.5L << ' ' << 1e20 << ' ' << 1e-5 << " address " << address << endl;

    qe_ofstream pos("pos.txt", qe_filebuf::truncate);
    pos.seekp(0) << "hello";
    pos.seekp(0) << "J";
    pos.seekp(-1, SEEK_END) << "y" << flush;
    std::printf("tellp %d\n", pos.tellp());

    qe_ofstream none("missing/none.txt", qe_filebuf::truncate);
    qe_ostream& same = none.put(1).put('x') << 1 << "text" << 2.5 << wide << address << endl;
    std::printf("no file: open %d tellp %d same %d\n", none.is_open(), none.tellp(),
                &same == &none);
    return finish();
}

SCENARIO(sharing) {
    auto* first = new qe_ofstream("shared.txt", qe_filebuf::truncate);
    *first << hex << "first " << 255;
    qe_ofstream copy(*first);
    delete first;
    copy << " copy " << 255; // the copy took the radix
    qe_ofstream other("other.txt", qe_filebuf::truncate);
    other << "other";
    other = copy;                 // its last holder lets go of other.txt
    other << " assigned " << 255; // in its own radix
    copy.close();
    std::printf("closed through the copy: open %d\n", other.is_open());
    return finish();
}

// A position past what tellp's int holds is an error, not a wrapped number.
SCENARIO(past_2gib) {
    qe_ofstream big("big.txt", qe_filebuf::truncate);
    big.seekp(INT_MAX);
    big << "0123456789";
    errno = 0;
    const int position = big.tellp();
    std::printf("tellp %d, EOVERFLOW %d\n", position, errno == EOVERFLOW);
    big.close();
    return std::remove("big.txt");
}
