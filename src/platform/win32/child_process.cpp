// SPDX-License-Identifier: MIT
// Win32 death-check children: this program started again, its command line
// and one more argument, with its standard error in a pipe. Its end is read
// from its exit code: an exception code for a fault, and two codes of our
// own, for a returned statement and for abort(), whose status 3 exit(3)
// could give too.
#include "platform/child_process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace zkqe {
namespace platform {

namespace {

constexpr DWORD kReturnedCode = 0x2DEA0001ul;
constexpr DWORD kAbortedCode = 0x2DEA0003ul;

// A started child first says on its standard error that it runs: a start
// that wine failed ends with status 1 and nothing said, which a statement
// calling exit(1) quietly must not be taken for. Only a child started here
// is asked to, through its environment, so one started by hand says nothing.
constexpr wchar_t kMarkVariable[] = L"ZKTEST_DEATH_CHILD_MARK";
constexpr char kStartedMark = '\x06';
constexpr int kStartsTried = 3;

extern "C" void endAborted(int) {
    std::_Exit(static_cast<int>(kAbortedCode));
}

LONG WINAPI endWithCode(EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;
}

// A handle the child inherits for one of its standard streams.
HANDLE inheritable(HANDLE handle) {
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

std::string lastError(const char* what) {
    return std::string(what) + " failed, error " + std::to_string(GetLastError());
}

// The child's standard error is in text mode: its "\r\n" reads as the
// "\n" it wrote.
std::string readAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got != 0)
        text.append(buffer, got);
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n')
            lines += text[i];
    return lines;
}

// This process's environment with the mark asked for.
std::wstring environmentWithMark() {
    std::wstring block;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        const wchar_t* end = strings;
        while (*end != L'\0')
            end += std::wcslen(end) + 1;
        block.assign(static_cast<const wchar_t*>(strings), end);
        FreeEnvironmentStringsW(strings);
    }
    block += kMarkVariable;
    block += L"=1";
    block += L'\0';
    return block; // the block's closing NUL is the string's own
}

// One start of the child, to its end: false, with `end` saying why, when
// none could be started.
bool startOnce(const wchar_t* program, std::wstring line, std::wstring& environment, ChildEnd& end,
               DWORD& code) {
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &attributes, 0)) {
        end.text = lastError("CreatePipe");
        return false;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inheritable(GetStdHandle(STD_INPUT_HANDLE));
    startup.hStdOutput = inheritable(GetStdHandle(STD_OUTPUT_HANDLE));
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessW(program, &line[0], nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                       &environment[0], nullptr, &startup, &process);
    if (!started)
        end.text = lastError("CreateProcess");
    CloseHandle(writeEnd);
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput})
        if (handle != nullptr)
            CloseHandle(handle);
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    CloseHandle(process.hThread);
    end.text = readAll(readEnd);
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace

ChildEnd runChild(void (*)(void*), void*, const char* argument) {
    ChildEnd end;
    // The child writes to the same standard output: ours goes first.
    std::fflush(nullptr);
    wchar_t program[32768];
    const DWORD length = GetModuleFileNameW(nullptr, program, sizeof program / sizeof *program);
    if (length == 0 || length >= sizeof program / sizeof *program) {
        end.text = lastError("GetModuleFileName");
        return end;
    }
    std::wstring line = GetCommandLineW();
    line += L' ';
    for (const char* c = argument; *c != '\0'; ++c)
        line += static_cast<wchar_t>(*c);
    std::wstring environment = environmentWithMark();
    DWORD code = 0;
    for (int attempt = 1;; ++attempt) {
        if (!startOnce(program, line, environment, end, code))
            return end;
        if (!end.text.empty() && end.text[0] == kStartedMark) {
            end.text.erase(0, 1);
            break;
        }
        if (code != 1 || !end.text.empty())
            break;
        if (attempt == kStartsTried) {
            end.text = "the child ended before it ran, " + std::to_string(kStartsTried) + " times";
            return end;
        }
        Sleep(50);
    }
    const DWORD severity = code & 0xF0000000ul;
    if (code == kReturnedCode) {
        end.way = ChildEnd::Way::returned;
    } else if (code == kAbortedCode) {
        end.way = ChildEnd::Way::died;
        end.aborted = true;
    } else if (severity == 0xC0000000ul || severity == 0x80000000ul) {
        end.way = ChildEnd::Way::died;
        end.code = code;
    } else {
        end.way = ChildEnd::Way::exited;
        end.status = static_cast<int>(code);
    }
    return end;
}

const char* const kNullDevice = "NUL";

namespace {
int unmutedStreams[2] = {-1, -1};
} // namespace

void muteStandardStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    const int null = _open(kNullDevice, _O_WRONLY);
    for (int fd = 1; fd <= 2 && null >= 0; ++fd) {
        unmutedStreams[fd - 1] = _dup(fd);
        _dup2(null, fd);
    }
    if (null >= 0)
        _close(null);
}

void unmuteStandardStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    for (int fd = 1; fd <= 2; ++fd) {
        int& saved = unmutedStreams[fd - 1];
        if (saved >= 0 && _dup2(saved, fd) == 0)
            _close(saved);
        saved = -1;
    }
}

void prepareStartedChild() {
    std::signal(SIGABRT, endAborted);
    SetUnhandledExceptionFilter(endWithCode);
    if (GetEnvironmentVariableW(kMarkVariable, nullptr, 0) != 0) {
        // Its own children are asked afresh.
        SetEnvironmentVariableW(kMarkVariable, nullptr);
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), &kStartedMark, 1, &written, nullptr);
    }
}

void endChildReturned() {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(static_cast<int>(kReturnedCode));
}

} // namespace platform
} // namespace zkqe
