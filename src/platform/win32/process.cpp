// SPDX-License-Identifier: MIT
// Win32 process services: the debugger API, Sleep, the standard
// descriptors, the
// start-up switch that keeps abort() from printing a message or raising a
// fault-report dialog, so an unattended run ends the same way everywhere,
// the kind of process end and the host's name.
//
// A DLL runs its static destructors when it is detached, and the process
// detaches it on every end that goes through ExitProcess, including abort()
// (which calls _exit) and an unhandled exception. An orderly end is the one
// on which the C runtime ran its exit processing first; a handler registered
// in the runtime's own exit table records that. The library is pinned so
// that the handler never outlives its code.
#include "platform/platform.h"

#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <windows.h>

namespace {

// Set by the C runtime's exit processing (return from main, exit()).
volatile LONG crtExitStarted = 0;
// Set once the library is detached because the process ends.
volatile LONG detachedAtProcessEnd = 0;
// Whether the exit handler could be registered; without it every end counts
// as orderly, as it would without this check.
bool exitHandlerRegistered = false;

void __cdecl markCrtExit() {
    crtExitStarted = 1;
}

int __cdecl markCrtExitOnexit() {
    markCrtExit();
    return 0;
}

// Registers markCrtExit in the exit table of the runtime the library uses,
// not the library's private one, which a DLL runs at detach.
bool registerCrtExitHandler() {
#if defined(_UCRT)
    HMODULE runtime = GetModuleHandleA("ucrtbase.dll");
    if (runtime == nullptr)
        return false;
    using CrtAtexit = int(__cdecl*)(void(__cdecl*)());
    auto crtAtexit = reinterpret_cast<CrtAtexit>(
        reinterpret_cast<void (*)()>(GetProcAddress(runtime, "_crt_atexit")));
    return crtAtexit != nullptr && crtAtexit(markCrtExit) == 0;
#else
    HMODULE runtime = GetModuleHandleA("msvcrt.dll");
    if (runtime == nullptr)
        return false;
    using Onexit = _onexit_t(__cdecl*)(_onexit_t);
    auto onexit =
        reinterpret_cast<Onexit>(reinterpret_cast<void (*)()>(GetProcAddress(runtime, "_onexit")));
    return onexit != nullptr && onexit(markCrtExitOnexit) != nullptr;
#endif
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    // A non-null `reserved` on detach means the process is ending, as
    // opposed to FreeLibrary (which the pin below rules out).
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr)
        detachedAtProcessEnd = 1;
    return TRUE;
}

namespace zkqe {
namespace platform {

bool debuggerPresent() {
    return IsDebuggerPresent() != 0;
}

void debuggerOutput(const char* text) {
    OutputDebugStringA(text);
}

void sleepMilliseconds(unsigned milliseconds) {
    Sleep(milliseconds);
}

void ensureStandardDescriptors() {
#if !defined(_UCRT)
    // The classic runtime answers -1 for a closed descriptor; the universal
    // one would call its invalid-parameter handler instead.
    for (int fd = 0; fd <= 2; ++fd) {
        if (_get_osfhandle(fd) != -1)
            continue;
        const int opened = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (opened >= 0 && opened != fd) {
            _dup2(opened, fd);
            _close(opened);
        }
    }
#endif
}

void processStartup() {
    ensureStandardDescriptors();
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
    HMODULE self = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCSTR>(&markCrtExit), &self))
        exitHandlerRegistered = registerCrtExitHandler();
}

bool processEndingInOrder() {
    return !exitHandlerRegistered || crtExitStarted != 0 || detachedAtProcessEnd == 0;
}

std::string hostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (GetComputerNameA(name, &size) == 0)
        return "";
    return std::string(name, size);
}

} // namespace platform
} // namespace zkqe
