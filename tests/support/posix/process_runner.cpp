// POSIX process runner: fork, redirect the child's standard output and error
// into temporary files, exec (through the emulator named in ZKTEST_EMULATOR
// on the emulated legs) and wait.
//
// The parent may have run threads before, so the child does nothing between
// fork and exec but async-signal-safe calls: the argument and environment
// vectors are built before the fork.
#include "zktest_support.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zktest_support {

namespace {

int makeCaptureFile(std::string& path) {
    char name[] = "/tmp/zktest-capture-XXXXXX";
    int fd = mkstemp(name);
    path = name;
    return fd;
}

// The environment the child gets: the parent's, minus `unsetEnv`, with `env`
// added or replaced.
std::vector<std::string> childEnvironment(const ChildOptions& options) {
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    auto overridden = [&](const std::string& name) {
        for (const auto& removed : options.unsetEnv)
            if (removed == name)
                return true;
        for (const auto& added : options.env)
            if (added.first == name)
                return true;
        return false;
    };
    // LeakSanitizer cannot inspect a traced process and fails its run; a
    // program without the sanitizer ignores the variable.
    const bool noLeakCheck = options.underDebugger && !overridden("ASAN_OPTIONS");
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string name = nameOf(*entry);
        if (!overridden(name) && !(noLeakCheck && name == "ASAN_OPTIONS"))
            entries.emplace_back(*entry);
    }
    for (const auto& [name, value] : options.env)
        entries.push_back(name + "=" + value);
    if (noLeakCheck) {
        const char* asan = std::getenv("ASAN_OPTIONS");
        entries.push_back(std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") +
                          ":detect_leaks=0");
    }
    return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (auto& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

int waitFor(pid_t pid, int& status) {
    int rc;
    while ((rc = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    return rc;
}

// Runs the traced child until it ends, passing its signals on. The stop that
// exec causes in a child traced from birth is swallowed.
int waitForTraced(pid_t pid, int& status) {
    bool execStopSeen = false;
    for (;;) {
        if (waitFor(pid, status) < 0)
            return -1;
        if (!WIFSTOPPED(status))
            return pid;
        int signal = WSTOPSIG(status);
        if (signal == SIGTRAP && !execStopSeen) {
            execStopSeen = true;
            signal = 0;
        }
        ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(signal)));
    }
}

// qemu-user reports a guest that dies of a signal with a line of its own on
// the standard error it shares with the guest; that line is not the child's.
void dropEmulatorSignalLine(std::string& err) {
    static const char prefix[] = "qemu: uncaught target signal ";
    std::size_t start = err.rfind(prefix);
    if (start != std::string::npos && (start == 0 || err[start - 1] == '\n') &&
        err.find('\n', start) == err.size() - 1)
        err.erase(start);
}

} // namespace

bool ProcessResult::aborted() const {
    return signaled && signal == SIGABRT;
}

std::string selfPath() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    buf[n] = '\0';
    return buf;
}

ProcessResult runProgram(const std::vector<std::string>& argv, const ChildOptions& options) {
    ProcessResult result;
    std::vector<std::string> words;
    const char* emulator = std::getenv("ZKTEST_EMULATOR");
    const bool emulated = emulator != nullptr && *emulator != '\0';
    if (emulated)
        words.push_back(emulator);
    words.insert(words.end(), argv.begin(), argv.end());
    std::vector<char*> childArgv = pointersTo(words);
    std::vector<std::string> environment = childEnvironment(options);
    std::vector<char*> childEnvp = pointersTo(environment);

    std::string outPath, errPath;
    int outFd = makeCaptureFile(outPath);
    int errFd = makeCaptureFile(errPath);
    // The child reports a failed ptrace request through this pipe; exec
    // closes it, so an empty read means the child runs as asked.
    int report[2] = {-1, -1};
    if (outFd < 0 || errFd < 0 || pipe2(report, O_CLOEXEC) != 0) {
        for (int fd : {outFd, errFd})
            if (fd >= 0)
                close(fd);
        unlink(outPath.c_str());
        unlink(errPath.c_str());
        return result;
    }

    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        close(report[0]);
        dup2(outFd, 1);
        dup2(errFd, 2);
        close(outFd);
        close(errFd);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)
            _exit(98);
        if (options.underDebugger && ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
            const int error = errno;
            (void)!write(report[1], &error, sizeof error);
            _exit(96);
        }
        execve(childArgv[0], childArgv.data(), childEnvp.data());
        _exit(99);
    }
    close(report[1]);
    close(outFd);
    close(errFd);
    if (pid > 0) {
        int error = 0;
        ssize_t reported;
        while ((reported = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
        }
        result.started = true;
        result.debuggerAttached = options.underDebugger && reported == 0;
        int status = 0;
        const int waited =
            result.debuggerAttached ? waitForTraced(pid, status) : waitFor(pid, status);
        if (waited == pid && WIFEXITED(status)) {
            result.exited = true;
            result.exitCode = WEXITSTATUS(status);
        } else if (waited == pid && WIFSIGNALED(status)) {
            result.signaled = true;
            result.signal = WTERMSIG(status);
        }
    }
    close(report[0]);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    if (emulated && result.signaled)
        dropEmulatorSignalLine(result.err);
    // The debugger of a POSIX process reads its standard error.
    if (result.debuggerAttached)
        result.debugger = result.err;
    return result;
}

std::string asWritten(const std::string& text) {
    return text;
}

char separator() {
    return '/';
}

} // namespace zktest_support
