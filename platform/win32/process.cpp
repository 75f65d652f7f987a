// Win32 process services: the debugger API, the '\' separator, Sleep, and
// the start-up switch that keeps abort() from printing a message or raising
// a fault-report dialog, so an unattended run ends the same way everywhere.
#include "platform/platform.h"

#include <stdlib.h>
#include <windows.h>

namespace zkqe {
namespace platform {

const char kPathSeparator[] = "\\";

bool debuggerPresent() {
    return IsDebuggerPresent() != 0;
}

void debuggerOutput(const char* text) {
    OutputDebugStringA(text);
}

void sleepMilliseconds(unsigned milliseconds) {
    Sleep(milliseconds);
}

void processStartup() {
    // No fault-report or critical-error dialog for an unattended run.
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    // The abort message switch lives in the newer C runtimes only; the
    // classic msvcrt.dll that MinGW links against may not export it.
    using SetAbortBehavior = unsigned int(__cdecl*)(unsigned int, unsigned int);
    const char* runtimes[] = {"ucrtbase.dll", "msvcrt.dll"};
    for (const char* runtime : runtimes) {
        HMODULE module = GetModuleHandleA(runtime);
        if (module == nullptr)
            continue;
        auto setAbortBehavior = reinterpret_cast<SetAbortBehavior>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, "_set_abort_behavior")));
        if (setAbortBehavior != nullptr)
            setAbortBehavior(0, _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
    }
}

} // namespace platform
} // namespace zkqe
