// POSIX process runner: fork, redirect the child's standard output and error
// into temporary files, exec (through the emulator named in ZKTEST_EMULATOR
// on the emulated legs) and wait.
#include "zktest_support.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zktest_support {

namespace {

int makeCaptureFile(std::string& path) {
    char name[] = "/tmp/zktest-capture-XXXXXX";
    int fd = mkstemp(name);
    path = name;
    return fd;
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
    if (const char* emulator = std::getenv("ZKTEST_EMULATOR"); emulator != nullptr && *emulator)
        words.push_back(emulator);
    words.insert(words.end(), argv.begin(), argv.end());

    std::string outPath, errPath;
    int outFd = makeCaptureFile(outPath);
    int errFd = makeCaptureFile(errPath);
    if (outFd < 0 || errFd < 0)
        return result;

    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(outFd, 1);
        dup2(errFd, 2);
        close(outFd);
        close(errFd);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)
            _exit(98);
        for (const auto& name : options.unsetEnv)
            unsetenv(name.c_str());
        for (const auto& [name, value] : options.env)
            setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> childArgv;
        for (auto& word : words)
            childArgv.push_back(const_cast<char*>(word.c_str()));
        childArgv.push_back(nullptr);
        execv(childArgv[0], childArgv.data());
        _exit(99);
    }
    close(outFd);
    close(errFd);
    if (pid > 0) {
        result.started = true;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
        }
        if (WIFEXITED(status)) {
            result.exited = true;
            result.exitCode = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            result.signaled = true;
            result.signal = WTERMSIG(status);
        }
    }
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return result;
}

std::string asWritten(const std::string& text) {
    return text;
}

char separator() {
    return '/';
}

} // namespace zktest_support
