// SPDX-License-Identifier: MIT
// Win32 fault hook: an unhandled-exception filter that hands the exception
// code and address to the reporter and then asks for the process to end
// (EXCEPTION_EXECUTE_HANDLER): no crash dialog, exit status = the code.
//
// Invariants:
//  - The filter runs on the faulting thread, possibly with little stack
//    left after an overflow; the installing thread keeps a stack guarantee
//    large enough for the reporter and its write.
//  - The reporter pointer is written before the filter is installed and is
//    plain data: the filter may run while the process exits.
#include "platform/platform.h"

#include <cstdio>
#include <io.h>
#include <windows.h>

namespace zkqe {
namespace platform {

namespace {

// Stack kept in reserve for the filter when the thread overflows its stack.
constexpr ULONG kFilterStackGuarantee = 64 * 1024;

FaultReporter faultReporter = nullptr;

// Signal-safe: the faulting thread's exception filter takes no lock and allocates nothing.
LONG WINAPI unhandledExceptionFilter(EXCEPTION_POINTERS* info) {
    const FaultReporter reporter = faultReporter;
    if (reporter != nullptr && info != nullptr && info->ExceptionRecord != nullptr)
        reporter(info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

std::atomic<bool> faultHookInstalled{false};

// Not signal-safe.
void prepareThreadForFaults() {
    threadReadyForFaults = true;
    ULONG guarantee = kFilterStackGuarantee;
    SetThreadStackGuarantee(&guarantee);
}

// Not signal-safe.
void installFaultHook(FaultReporter reporter) {
    faultReporter = reporter;
    prepareThreadForFaults();
    SetUnhandledExceptionFilter(unhandledExceptionFilter);
    faultHookInstalled.store(true, std::memory_order_relaxed);
}

// Signal-safe: no lock the faulting thread may hold, no allocation.
void writeFaultText(std::FILE* file, const char* text, std::size_t length) {
    // After what the target's stream holds, so the line keeps its place.
    drainWithoutLock(file);
    // The stream's text mode would turn "\n" into "\r\n"; _write on a
    // descriptor opened in text mode does the same, without the stream.
    const int fd = _fileno(file);
    if (fd >= 0)
        _write(fd, text, static_cast<unsigned>(length));
    if (debuggerPresent())
        debuggerOutput(text);
}

} // namespace platform
} // namespace zkqe
