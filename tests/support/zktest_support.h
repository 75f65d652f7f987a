// Test support shared by every test program of the suite:
//  - child scenarios: a test re-runs its own binary with "--zk-child <name>"
//    to observe what only a fresh process shows (exit statuses, abort, the
//    status file at exit, first-use warnings, process-wide singletons);
//  - the process runner that starts such a child, or any program, and
//    collects its exit, standard output and standard error;
//  - temporary directories and whole-file reads.
#ifndef ZKTEST_TESTS_SUPPORT_H
#define ZKTEST_TESTS_SUPPORT_H

#include <string>
#include <utility>
#include <vector>

namespace zktest_support {

// ---- child scenarios --------------------------------------------------------

// A scenario receives the child's argv: argv[0] is the program path, then the
// arguments given to runChild. Its result is the child's exit status.
using Scenario = int (*)(int argc, char** argv);

struct ScenarioRegistrar {
    ScenarioRegistrar(const char* name, Scenario scenario);
};

// ---- processes --------------------------------------------------------------

struct ChildOptions {
    std::string cwd;                                      // empty: inherit
    std::vector<std::pair<std::string, std::string>> env; // added or replaced
    std::vector<std::string> unsetEnv;                    // removed
    // Start the child with a debugger attached (ptrace on POSIX, the Win32
    // debugging API on Windows). ProcessResult::debuggerAttached tells
    // whether that was possible here.
    bool underDebugger = false;
};

struct ProcessResult {
    bool started = false;
    bool exited = false;   // ended through exit with a status
    int exitCode = -1;     // as the parent reads it (8 bits on POSIX)
    bool signaled = false; // POSIX: ended by a signal
    int signal = 0;
    std::string out; // standard output, as bytes
    std::string err; // standard error, as bytes
    // Set when the child ran with a debugger attached; `debugger` is then what
    // the debugger received: the debug strings on Windows, standard error on
    // POSIX (where a debugger reads the process's standard error).
    bool debuggerAttached = false;
    std::string debugger;

    // Ended through abort(): SIGABRT on POSIX, exit status 3 on Windows.
    bool aborted() const;
    // What the status means, for failure messages.
    std::string describe() const;
};

// Runs this test binary again as scenario `name` with `args`.
ProcessResult runChild(const std::string& name, const std::vector<std::string>& args = {},
                       const ChildOptions& options = {});
// Runs a program; argv[0] is its path. On the emulated legs the emulator in
// ZKTEST_EMULATOR is put in front.
ProcessResult runProgram(const std::vector<std::string>& argv, const ChildOptions& options = {});

// Path of the running test binary.
std::string selfPath();

// ---- files ------------------------------------------------------------------

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() joined with `name` by '/'.
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// The whole file as bytes; empty when it cannot be read.
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// How a text written with "\n" line ends reads back from a text-mode file on
// this platform ("\r\n" on Windows).
std::string asWritten(const std::string& text);
// The platform's path separator character.
char separator();

} // namespace zktest_support

#define ZKTEST_CHILD_SCENARIO(name)                                                                \
    static int name##_scenario(int argc, char** argv);                                             \
    static ::zktest_support::ScenarioRegistrar name##_registrar(#name, &name##_scenario);          \
    static int name##_scenario([[maybe_unused]] int argc, [[maybe_unused]] char** argv)

#endif
