// Win32 process runner: CreateProcess with the child's standard output and
// error redirected into temporary files, then wait and read the exit code.
// The environment and working directory are set in the parent around the
// call (tests start children from one thread at a time). A child started
// under the debugger is driven by a debug-event loop on the calling thread,
// which must be the thread that created it.
#include "zktest_support.h"

#include <windows.h>

#include <cstdlib>

namespace zktest_support {

namespace {

std::string quote(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos)
        return word;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
        } else if (c == '"') {
            // The backslashes before a quote are doubled, then one escapes it.
            quoted.append(backslashes + 1, '\\');
            quoted += '"';
            backslashes = 0;
            continue;
        } else {
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, '\\');
    quoted += '"';
    return quoted;
}

HANDLE makeCaptureFile(std::string& path) {
    char dir[MAX_PATH];
    char name[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    GetTempFileNameA(dir, "zkc", 0, name);
    path = name;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Collects the child's debug strings and lets every exception take its normal
// course, until the child ends.
void runDebugLoop(HANDLE process, std::string& debugText) {
    for (;;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, INFINITE))
            return;
        DWORD continueStatus = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
            std::string text(info.nDebugStringLength, '\0');
            SIZE_T read = 0;
            if (!info.fUnicode && ReadProcessMemory(process, info.lpDebugStringData, text.data(),
                                                    text.size(), &read)) {
                text.resize(read);
                if (!text.empty() && text.back() == '\0')
                    text.pop_back();
                debugText += text;
            }
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            // The loader's initial breakpoint is the debugger's to take;
            // everything else goes back to the child.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                continueStatus = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile != nullptr)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile != nullptr)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT)
            return;
    }
}

} // namespace

bool ProcessResult::aborted() const {
    return exited && exitCode == 3;
}

std::string selfPath() {
    char buf[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    return std::string(buf, n);
}

ProcessResult runProgram(const std::vector<std::string>& argv, const ChildOptions& options) {
    ProcessResult result;
    std::string commandLine;
    for (const auto& word : argv) {
        if (!commandLine.empty())
            commandLine += ' ';
        commandLine += quote(word);
    }

    std::string outPath, errPath;
    HANDLE out = makeCaptureFile(outPath);
    HANDLE err = makeCaptureFile(errPath);

    // Environment changes for the child only: set, start, restore.
    std::vector<std::pair<std::string, std::string>> saved;
    auto remember = [&](const std::string& name) {
        char value[32768];
        DWORD n = GetEnvironmentVariableA(name.c_str(), value, sizeof value);
        saved.emplace_back(name, n > 0 ? std::string(value, n) : std::string("\x01"));
    };
    for (const auto& name : options.unsetEnv) {
        remember(name);
        SetEnvironmentVariableA(name.c_str(), nullptr);
    }
    for (const auto& [name, value] : options.env) {
        remember(name);
        SetEnvironmentVariableA(name.c_str(), value.c_str());
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    const DWORD flags = options.underDebugger ? DEBUG_ONLY_THIS_PROCESS : 0;
    BOOL created =
        CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                       options.cwd.empty() ? nullptr : options.cwd.c_str(), &startup, &process);

    for (auto it = saved.rbegin(); it != saved.rend(); ++it)
        SetEnvironmentVariableA(it->first.c_str(),
                                it->second == "\x01" ? nullptr : it->second.c_str());
    CloseHandle(out);
    CloseHandle(err);

    if (created) {
        result.started = true;
        if (options.underDebugger) {
            result.debuggerAttached = true;
            runDebugLoop(process.hProcess, result.debugger);
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result.exited = true;
        result.exitCode = static_cast<int>(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    DeleteFileA(outPath.c_str());
    DeleteFileA(errPath.c_str());
    return result;
}

std::string asWritten(const std::string& text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n')
            converted += '\r';
        converted += c;
    }
    return converted;
}

char separator() {
    return '\\';
}

} // namespace zktest_support
