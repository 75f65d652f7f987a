// SPDX-License-Identifier: MIT
// The crash guard: on a fatal fault that nothing handles, one line naming the
// fault goes to the crash report target, and the process still ends.
//
// Invariants:
//  - reportUnhandledException may run inside a signal handler: it and
//    everything it calls (the name table, the formatter, the platform's
//    writeFaultText) are async-signal-safe: no allocation, no stdio, no lock.
//  - crashReportFile is written only by installCrashGuard, on the thread
//    that processes the flags; the reporter reads it without a lock.
//  - An escaped C++ exception reaches std::terminate, not the fault hook, on
//    every platform; the terminate handler reports it, then aborts.
//  - The crash note is a fixed buffer whose length is published last, so
//    the reporter never reads past what was written; a note replaced while
//    the process crashes may come out mixed, never overlong.
#include "driver/safety_nets.h"

#include "zkqe_output.h"
#include "zkqe_test.h"
#include "platform/platform.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace zkqe {

FILE* crashReportFile = nullptr;

namespace {

struct ExceptionName {
    unsigned long code;
    const char* name;
};

const ExceptionName kExceptionNames[] = {
    {0x80000002ul, "Data Misalignment"},
    {0x80000003ul, "User Breakpoint"},
    {0x80000004ul, "Single Step"},
    {0xC0000005ul, "Access Violation"},
    {0xC0000006ul, "Page Error"},
    {0xC000001Dul, "Illegal Instruction"},
    {0xC0000025ul, "Noncontinuable"},
    {0xC0000026ul, "Invalid Disposition"},
    {0xC000008Cul, "Array Bounds Exceeded"},
    {0xC000008Dul, "Floating Point Denormal Operand"},
    {0xC000008Eul, "Floating Point Divide By Zero"},
    {0xC000008Ful, "Floating Point Inexact Result"},
    {0xC0000090ul, "Floating Point Invalid Operation"},
    {0xC0000091ul, "Floating Point Overflow"},
    {0xC0000092ul, "Floating Point Stack Check"},
    {0xC0000093ul, "Floating Point Underflow"},
    {0xC0000094ul, "Integer Divide By Zero"},
    {0xC0000095ul, "Integer Overflow"},
    {0xC0000096ul, "Priviledged Instruction"},
    {0xC00000FDul, "Stack Overflow"},
};

constexpr std::size_t kCrashNoteSize = 200;
char crashNote[kCrashNoteSize + 1];
std::atomic<std::size_t> crashNoteLength{0};
static_assert(std::atomic<std::size_t>::is_always_lock_free, "read in a signal handler");

const char kHexDigitsUpper[] = "0123456789ABCDEF";
const char kHexDigitsLower[] = "0123456789abcdef";

// Signal-safe.
char* append(char* out, const char* text) {
    while (*text != '\0')
        *out++ = *text++;
    return out;
}

// The hexadecimal digits of `value`, most significant first: exactly
// `width` of them, or as many as needed when `width` is 0.
// Signal-safe.
char* appendHex(char* out, std::uintmax_t value, int width, const char* digits) {
    char reversed[2 * sizeof value];
    int count = 0;
    do {
        reversed[count++] = digits[value & 0xFu];
        value >>= 4;
    } while (value != 0 && count < static_cast<int>(sizeof reversed));
    while (count < width)
        reversed[count++] = '0';
    while (count > 0)
        *out++ = reversed[--count];
    return out;
}

// Reached by an exception that no handler caught (and by the rare other
// reasons to terminate, which carry no better name).
// Not signal-safe: runs as the terminate handler, outside any signal handler.
[[noreturn]] void reportEscapedException() {
    // No instruction faulted and the throw site is gone once the stack has
    // unwound, so the line carries the null address rather than a made-up one.
    reportUnhandledException(kEscapedCxxExceptionCode, nullptr);
    std::abort();
}

} // namespace

// Signal-safe.
const char* exceptionName(unsigned long code) {
    for (const ExceptionName& entry : kExceptionNames)
        if (entry.code == code)
            return entry.name;
    return "Unknown";
}

// Signal-safe.
std::size_t formatCrashLine(char* line, unsigned long code, const void* pc) {
    char* out = append(line, exceptionName(code));
    out = append(out, " at pc 0x");
    out = appendHex(out, reinterpret_cast<std::uintptr_t>(pc), 2 * sizeof pc, kHexDigitsUpper);
    out = append(out, " (code ");
    // The code is a 32-bit exception code, shown as printf's "%#x" shows it:
    // with the "0x" prefix except for zero.
    const std::uint32_t code32 = static_cast<std::uint32_t>(code);
    if (code32 != 0)
        out = append(out, "0x");
    out = appendHex(out, code32, 0, kHexDigitsLower);
    out = append(out, ")\n");
    *out = '\0';
    return static_cast<std::size_t>(out - line);
}

// Signal-safe.
void reportUnhandledException(unsigned long code, const void* pc) {
    FILE* target = crashReportFile;
    if (target == nullptr)
        return;
    // What the standard streams hold (a report on one of them, the program's
    // own output) is written before the process dies of the fault.
    platform::drainWithoutLock(stdout);
    platform::drainWithoutLock(stderr);
    char line[kCrashLineSize];
    const std::size_t length = formatCrashLine(line, code, pc);
    platform::writeFaultText(target, line, length);
    const std::size_t noteLength = crashNoteLength.load();
    if (noteLength != 0)
        platform::writeFaultText(target, crashNote, noteLength);
}

// Not signal-safe.
void installCrashGuard(const char* target) {
    FILE* previous = crashReportFile;
    crashReportFile = qe_fopen(target, "w");
    // A second target replaces the first; the first is closed rather than
    // left open for the rest of the process. The standard streams stay open.
    if (previous != nullptr && previous != stdout && previous != stderr)
        std::fclose(previous);
    platform::installFaultHook(reportUnhandledException);
    std::set_terminate(reportEscapedException);
}

} // namespace zkqe

void zktest::setCrashNote(const char* text) {
    zkqe::crashNoteLength.store(0);
    if (text == nullptr || *text == '\0')
        return;
    std::size_t length = std::strlen(text);
    if (length > zkqe::kCrashNoteSize)
        length = zkqe::kCrashNoteSize;
    std::memcpy(zkqe::crashNote, text, length);
    zkqe::crashNote[length] = '\n';
    zkqe::crashNoteLength.store(length + 1);
}
