// SPDX-License-Identifier: MIT
// Windows workers: no process can be copied, so a worker is the program
// started again with the parent's words and the names of two inherited
// pipes. Only the worker's own ends are inheritable while it is created,
// and the parent closes its copies of them at once: any other worker
// holding one would keep a dead worker's pipe from ending.
#include "platform/worker_process.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace zkqe {
namespace platform {

namespace {

// The C runtime's rules for reading a command line back into words:
// backslashes are doubled before a quote, and a word with a blank or a
// quote, or an empty one, is quoted.
void appendQuoted(std::string& line, const std::string& word) {
    if (!line.empty())
        line += ' ';
    if (!word.empty() && word.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += word;
        return;
    }
    line += '"';
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        for (; i < word.size() && word[i] == '\\'; ++i)
            ++backslashes;
        if (i == word.size()) {
            line.append(backslashes * 2, '\\');
            break;
        }
        if (word[i] == '"')
            line.append(backslashes * 2 + 1, '\\');
        else
            line.append(backslashes, '\\');
        line += word[i];
    }
    line += '"';
}

HANDLE osHandle(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// The job every worker joins: its one handle is the parent's, and when that
// closes, however the parent ends, the system ends the workers.
HANDLE workersJob() {
    static const HANDLE job = [] {
        const HANDLE made = CreateJobObjectA(nullptr, nullptr);
        if (made == nullptr)
            return made;
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
        ZeroMemory(&limits, sizeof limits);
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return made;
    }();
    return job;
}

} // namespace

bool startWorker(WorkerProcess& worker, WorkerBody, void*,
                 const std::vector<std::string>& relaunch) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE taskRead, taskWrite, findingsRead, findingsWrite;
    if (!CreatePipe(&taskRead, &taskWrite, &inheritable, 0))
        return false;
    if (!CreatePipe(&findingsRead, &findingsWrite, &inheritable, 0)) {
        CloseHandle(taskRead);
        CloseHandle(taskWrite);
        return false;
    }
    SetHandleInformation(taskWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(findingsRead, HANDLE_FLAG_INHERIT, 0);

    std::string line;
    for (const std::string& word : relaunch)
        appendQuoted(line, word);
    appendQuoted(line, std::string(kWorkerFlag) +
                           std::to_string(reinterpret_cast<std::uintptr_t>(taskRead)) + "," +
                           std::to_string(reinterpret_cast<std::uintptr_t>(findingsWrite)));
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0');
    char path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started;
    std::fflush(nullptr);
    // A start refused for a moment (a loaded machine) is tried again before
    // the run does without this worker.
    BOOL made = FALSE;
    for (int attempt = 0; attempt < 3 && !made && length != 0 && length < sizeof path; ++attempt) {
        if (attempt != 0)
            Sleep(50);
        made = CreateProcessA(path, commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                              nullptr, nullptr, &startup, &started);
    }
    CloseHandle(taskRead);
    CloseHandle(findingsWrite);
    if (!made) {
        CloseHandle(taskWrite);
        CloseHandle(findingsRead);
        return false;
    }
    // In the job before it runs a line: a worker is never left behind.
    if (const HANDLE job = workersJob())
        AssignProcessToJobObject(job, started.hProcess);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    worker.process = reinterpret_cast<std::intptr_t>(started.hProcess);
    worker.tasks =
        _open_osfhandle(reinterpret_cast<std::intptr_t>(taskWrite), _O_BINARY | _O_WRONLY);
    worker.findings =
        _open_osfhandle(reinterpret_cast<std::intptr_t>(findingsRead), _O_BINARY | _O_RDONLY);
    return true;
}

bool openWorkerChannel(const std::string& names, int* tasks, int* findings) {
    unsigned long long taskHandle = 0, findingsHandle = 0;
    if (std::sscanf(names.c_str(), "%llu,%llu", &taskHandle, &findingsHandle) != 2)
        return false;
    *tasks = _open_osfhandle(static_cast<std::intptr_t>(taskHandle), _O_BINARY | _O_RDONLY);
    *findings = _open_osfhandle(static_cast<std::intptr_t>(findingsHandle), _O_BINARY | _O_WRONLY);
    return *tasks >= 0 && *findings >= 0;
}

WorkerEnd endWorker(WorkerProcess& worker, bool kill) {
    WorkerEnd end;
    if (worker.process == 0)
        return end;
    const HANDLE process = reinterpret_cast<HANDLE>(worker.process);
    if (kill)
        TerminateProcess(process, 1);
    _close(worker.tasks);
    _close(worker.findings);
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    // An exception's code ends a process that it killed; abort() ends one
    // with 3.
    if (code >= 0x80000000ul)
        end.fault = code;
    else if (code == 3)
        end.aborted = true;
    else
        end.exited = true, end.status = static_cast<int>(code);
    worker = WorkerProcess();
    return end;
}

// No process is copied here: an isolated case gets a worker started again.
bool processesCanBeCopied() {
    return false;
}

bool runInCopy(int (*)(void*), void*, WorkerEnd&) {
    return false;
}

namespace {
std::vector<HANDLE> released;
} // namespace

void releaseWorker(WorkerProcess& worker) {
    _close(worker.tasks);
    _close(worker.findings);
    released.push_back(reinterpret_cast<HANDLE>(worker.process));
    worker = WorkerProcess();
}

void reapReleased(bool all) {
    for (std::size_t i = 0; i < released.size();) {
        if (WaitForSingleObject(released[i], all ? INFINITE : 0) != WAIT_OBJECT_0) {
            ++i;
            continue;
        }
        CloseHandle(released[i]);
        released[i] = released.back();
        released.pop_back();
    }
}

void killFromHandler(std::intptr_t process) {
    // The job ends it with the parent; killed here only outside one.
    if (process != 0 && workersJob() == nullptr)
        TerminateProcess(reinterpret_cast<HANDLE>(process), 1);
}

void removeFileFromHandler(const char* path) {
    DeleteFileA(path);
}

void removeFolderFromHandler(const char* path) {
    RemoveDirectoryA(path);
}

// Anonymous pipes cannot be waited on: they are asked in turn, yielding
// first and then sleeping between rounds.
int waitForReadable(const int* fds, std::size_t count, int milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    for (unsigned round = 0;; ++round) {
        for (std::size_t i = 0; i < count; ++i) {
            DWORD waiting = 0;
            if (!PeekNamedPipe(osHandle(fds[i]), nullptr, 0, nullptr, &waiting, nullptr) ||
                waiting > 0)
                return static_cast<int>(i);
        }
        if (milliseconds >= 0 && GetTickCount64() >= deadline)
            return -1;
        if (round < 200)
            SwitchToThread();
        else
            Sleep(1);
    }
}

long readSome(int fd, void* buffer, std::size_t size) {
    return _read(fd, buffer, static_cast<unsigned>(size));
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const int put = _write(fd, bytes, static_cast<unsigned>(size));
        if (put <= 0)
            return false;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

unsigned usableCores() {
    DWORD_PTR process = 0, system = 0;
    unsigned count = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        for (; process != 0; process &= process - 1)
            ++count;
    return count != 0 ? count : 1;
}

} // namespace platform
} // namespace zkqe
