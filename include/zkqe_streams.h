// SPDX-License-Identifier: MIT
// The thread-safe output-stream family: a lock-guarded file buffer, the
// reference-counted handle through which streams share it, the abstract
// qe_ostream with its insertion operators and manipulators, and qe_ofstream.
//
// Integer widths of the interface: `short` 16 bits, `int` and `long` 32 bits,
// `long long` 64 bits. On LP64 builds `long` is 64 bits wide; its insertion
// still formats the whole value, while the raw put(long) / put(unsigned long)
// write the interface's 4 bytes (the low-order bytes of the value).
#ifndef ZKQE_STREAMS_H
#define ZKQE_STREAMS_H

#include "zkqe_export.h"

#include <cstdio>

class ZKQEMutex;
namespace zkqe {
class StreamPieces;
}

// One FILE shared by several threads: every operation holds the buffer's own
// lock for its whole length. A buffer whose lock could not be allocated never
// opens a file: it behaves as a closed buffer.
class ZKQE_API qe_filebuf {
public:
    // A fixed underlying type keeps every int a valid value: any mode other
    // than append truncates.
    enum create_mode : int { truncate = 0, append = 1 };

    qe_filebuf();
    qe_filebuf(const char* name, create_mode mode);
    virtual ~qe_filebuf();

    // Two buffers on one FILE would close it twice; streams share a buffer
    // through qe_refcount instead.
    qe_filebuf(const qe_filebuf&) = delete;
    qe_filebuf& operator=(const qe_filebuf&) = delete;

    // Opens `name` ("a" for append, "w" otherwise) unless a file is open.
    void open(const char* name, create_mode mode);
    // Writes into `file` from now on, unless a file is open: a FILE that
    // stays its owner's, so the buffer is a second door into a file the
    // owner writes too. close() and the destructor only forget it. From the
    // first borrow on, each thread's text is gathered until its line ends
    // and then goes to the file whole, in one write, whatever other threads
    // write meanwhile; text written while no file is borrowed waits for the
    // next one. flush() hands over the calling thread's text as it is.
    void borrow(FILE* file);
    // Closes the file; standard error and a borrowed file are forgotten but
    // never closed.
    void close();
    // fflush, fseek (origin 0 for the one-argument form) and ftell on the
    // file; with no file open they do nothing and return -1.
    int flush();
    int seek(int offset, int origin);
    int seek(int offset);
    int tell();
    int is_open();
    // fwrite of `count` items of `size` bytes; 0 when no file is open.
    unsigned long write(const void* data, unsigned long size, unsigned long count);
    // Writes `text` with "%s" through qe_fprintf and returns its result.
    int puts(const char* text);
    int puts(const signed char* text);
    int puts(const unsigned char* text);
    // Writes a string of 16-bit units, up to its zero unit, as UTF-8 text:
    // surrogate pairs are combined, an unpaired surrogate becomes U+FFFD.
    // Returns the number of bytes written, -1 when no file is open; a null
    // string writes nothing and returns 0.
    int puts(const unsigned short* text);

private:
    friend class zkqe::StreamPieces;
    FILE* file;
    ZKQEMutex* mutex;
    bool borrowed;
    // Once the buffer has borrowed a FILE: each thread's text, gathered
    // until its line ends and then written whole.
    zkqe::StreamPieces* pieces;
};

// Reference-counted handle on a heap object; the last handle deletes it.
// Used for qe_filebuf only.
template <class T> class qe_refcount {
public:
    struct qe_ref {
        T* referent;
        int refCount;
    };

    qe_refcount();
    // Takes ownership of `buffer` (which may be null); if no record can be
    // allocated the handle is null and the buffer is deleted at once.
    qe_refcount(T* buffer);
    // Shares the record of `other`; a share beyond the largest count gives
    // a null handle.
    qe_refcount(qe_refcount& other);
    // Lets go of this handle's record, then shares that of `other`.
    // Assigning a handle to itself changes nothing.
    void operator=(qe_refcount& other);
    ~qe_refcount();

    T* operator->() const;
    T* operator()() const;

protected:
    qe_ref* incrReference();
    void decrReference();

private:
    qe_ref* ref;
};

extern template class ZKQE_API qe_refcount<qe_filebuf>;

class qe_ostream;

// Manipulators, used as `stream << endl`: a line feed then a flush, a flush,
// and the radix of later integer insertions.
ZKQE_API qe_ostream& endl(qe_ostream& stream);
ZKQE_API qe_ostream& flush(qe_ostream& stream);
ZKQE_API qe_ostream& oct(qe_ostream& stream);
ZKQE_API qe_ostream& dec(qe_ostream& stream);
ZKQE_API qe_ostream& hex(qe_ostream& stream);

// Abstract output stream: text insertion for every fundamental type in the
// stream's radix, and raw put operations that concrete streams implement.
class ZKQE_API qe_ostream {
public:
    // A fixed underlying type keeps every int a valid value, so a derived
    // class can store a radix outside the three, which stops the next integer
    // insertion through abort().
    enum radix_mode : int { octal = 0, decimal = 1, hexadecimal = 2 };

    qe_ostream();
    qe_ostream(const qe_ostream& other);
    qe_ostream& operator=(const qe_ostream& other);
    virtual ~qe_ostream();

    virtual qe_ostream& operator<<(const unsigned short* text);
    virtual qe_ostream& operator<<(qe_ostream& (*manipulator)(qe_ostream&));
    virtual qe_ostream& operator<<(void* pointer);
    virtual qe_ostream& operator<<(long double value);
    virtual qe_ostream& operator<<(double value);
    virtual qe_ostream& operator<<(float value);
    virtual qe_ostream& operator<<(unsigned long long value);
    virtual qe_ostream& operator<<(long long value);
    virtual qe_ostream& operator<<(unsigned long value);
    virtual qe_ostream& operator<<(long value);
    virtual qe_ostream& operator<<(unsigned int value);
    virtual qe_ostream& operator<<(int value);
    virtual qe_ostream& operator<<(unsigned short value);
    virtual qe_ostream& operator<<(short value);
    virtual qe_ostream& operator<<(const unsigned char* text);
    virtual qe_ostream& operator<<(unsigned char value);
    virtual qe_ostream& operator<<(const signed char* text);
    virtual qe_ostream& operator<<(signed char value);
    virtual qe_ostream& operator<<(const char* text);
    virtual qe_ostream& operator<<(char value);

    virtual qe_ostream& put(const unsigned short* text) = 0;
    virtual qe_ostream& put(void* pointer) = 0;
    virtual qe_ostream& put(long double value) = 0;
    virtual qe_ostream& put(double value) = 0;
    virtual qe_ostream& put(unsigned long long value) = 0;
    virtual qe_ostream& put(long long value) = 0;
    virtual qe_ostream& put(float value) = 0;
    virtual qe_ostream& put(unsigned long value) = 0;
    virtual qe_ostream& put(long value) = 0;
    virtual qe_ostream& put(unsigned int value) = 0;
    virtual qe_ostream& put(int value) = 0;
    virtual qe_ostream& put(unsigned short value) = 0;
    virtual qe_ostream& put(short value) = 0;
    virtual qe_ostream& put(const unsigned char* text) = 0;
    virtual qe_ostream& put(unsigned char value) = 0;
    virtual qe_ostream& put(const signed char* text) = 0;
    virtual qe_ostream& put(signed char value) = 0;
    virtual qe_ostream& put(const char* text) = 0;
    virtual qe_ostream& put(char value) = 0;
    virtual qe_ostream& flush() = 0;

protected:
    radix_mode getRadixMode() const;
    radix_mode setRadixMode(radix_mode mode);

private:
    radix_mode radixMode;
};

// A stream on a file, sharing its buffer with its copies.
class ZKQE_API qe_ofstream : public qe_ostream {
public:
    qe_ofstream();
    qe_ofstream(const char* name, qe_filebuf::create_mode mode);
    // Shares the buffer of `other` and copies its radix.
    qe_ofstream(qe_ofstream& other);
    // Lets go of this stream's buffer and shares that of `other`; the radix
    // stays this stream's own.
    qe_ofstream& operator=(qe_ofstream& other);
    virtual ~qe_ofstream();

    // A stream whose buffer or handle record could not be allocated never
    // opens and writes nothing.
    void open(const char* name, qe_filebuf::create_mode mode);
    // Closes the file for every stream sharing the buffer.
    void close();
    int is_open() const;
    // With no file open, flush does nothing and tellp answers -1.
    qe_ostream& flush() override;
    qe_ostream& seekp(int offset, int origin);
    qe_ostream& seekp(int offset);
    int tellp() const;
    qe_refcount<qe_filebuf>& rdbuf();
    void rdbuf(qe_refcount<qe_filebuf>& other);

    // Raw puts: characters are one byte; short 2, int and long 4, long long
    // 8 little-endian bytes. Text puts: strings as they are (16-bit strings
    // as UTF-8); float "%f", double "%G", long double "%LG"; addresses as
    // upper-case hexadecimal digits of the pointer's width, without prefix.
    // Each put holds the buffer's lock once.
    qe_ostream& put(const unsigned short* text) override;
    qe_ostream& put(void* pointer) override;
    qe_ostream& put(long double value) override;
    qe_ostream& put(double value) override;
    qe_ostream& put(unsigned long long value) override;
    qe_ostream& put(long long value) override;
    qe_ostream& put(float value) override;
    qe_ostream& put(unsigned long value) override;
    qe_ostream& put(long value) override;
    qe_ostream& put(unsigned int value) override;
    qe_ostream& put(int value) override;
    qe_ostream& put(unsigned short value) override;
    qe_ostream& put(short value) override;
    qe_ostream& put(const unsigned char* text) override;
    qe_ostream& put(unsigned char value) override;
    qe_ostream& put(const signed char* text) override;
    qe_ostream& put(signed char value) override;
    qe_ostream& put(const char* text) override;
    qe_ostream& put(char value) override;

private:
    qe_refcount<qe_filebuf> sharedBuf;
};

#endif
