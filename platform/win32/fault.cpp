// Win32 fault hook: an unhandled-exception filter that hands the exception
// code and address to the reporter and then asks for the process to end
// (EXCEPTION_EXECUTE_HANDLER): no crash dialog, exit status = the code.
//
// Invariants:
//  - The filter runs on the faulting thread, possibly with little stack
//    left after an overflow; the installing thread keeps a stack guarantee
//    large enough for the reporter and its stdio write.
//  - The reporter pointer is written before the filter is installed and is
//    plain data: the filter may run while the process exits.
#include "platform/platform.h"

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

// Not signal-safe.
void installFaultHook(FaultReporter reporter) {
    faultReporter = reporter;
    ULONG guarantee = kFilterStackGuarantee;
    SetThreadStackGuarantee(&guarantee);
    SetUnhandledExceptionFilter(unhandledExceptionFilter);
}

// Not signal-safe (stdio): Windows runs it in the exception filter, where the C
// runtime stays usable unless the faulting thread holds the stream's lock.
void writeFaultText(std::FILE* file, const char* text, std::size_t) {
    // Text mode turns the line feed into the platform's line end.
    std::fputs(text, file);
    std::fflush(file);
    if (debuggerPresent())
        debuggerOutput(text);
}

} // namespace platform
} // namespace zkqe
