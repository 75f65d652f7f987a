// Shared helpers of the test-object tests: a probe test class that exposes
// the protected fields, golden-file loading, and a child-run shortcut that
// starts a scenario in a fresh temporary working directory.
#ifndef ZKTEST_TESTS_TESTOBJ_SUPPORT_H
#define ZKTEST_TESTS_TESTOBJ_SUPPORT_H

#include "zktest.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testobj {

// A test whose body is a function, with the protected state in view.
class Probe : public ZKQETest {
public:
    using ZKQETest::ZKQETest;
    std::function<void(Probe&)> body;
    void runTest() override {
        if (body)
            body(*this);
    }
    FILE* primary() const { return primaryOutput; }
    const char* fullName() const { return fullOutputFileName; }
    qe_ofstream& stream() { return outputStream; }
    ZKTestVector& files() { return outputFiles; }
    ZKQEMutex* lock() const { return mutex; }
    bool user() const { return userFlag; }
    void* auxiliary() const { return auxilaryOutput; }
    int fileAssertions() const { return fileAssertionCount; }
    void fileAssertions(int n) { fileAssertionCount = n; }
    const char* cmdLine() const { return commandLineOptions.cmdLine(); }
    char* copyString(const char* text) { return allocateAndCopyString_(text); }
    void fail(const char* tag, const char* id) { reportAssertionFailure(tag, "f.cpp", 1, id); }
    // Closes whatever report file is open, without writing.
    void closeReport() {
        if (primaryOutput != nullptr && primaryOutput != stdout && primaryOutput != stderr)
            std::fclose(primaryOutput);
        primaryOutput = nullptr;
        outputStream.close();
    }
};

// A golden file of tests/testobj/golden, as a text-mode file written with the
// same "\n" line ends reads back on this platform.
inline std::string golden(const std::string& name) {
    const char* source = std::getenv("ZKTEST_SOURCE_DIR");
    EXPECT_NE(nullptr, source) << "ZKTEST_SOURCE_DIR is not set";
    if (source == nullptr)
        return {};
    const std::string path = std::string(source) + "/tests/testobj/golden/" + name;
    EXPECT_TRUE(zktest_support::fileExists(path)) << path;
    return zktest_support::asWritten(zktest_support::readFile(path));
}

// Text with "\n" line ends as a text-mode stream on this platform writes it.
inline std::string written(const std::string& text) {
    return zktest_support::asWritten(text);
}

// `name` under `dir`, joined by the platform's separator.
inline std::string joined(const std::string& dir, const std::string& name) {
    return dir + zktest_support::separator() + name;
}

// Runs scenario `name` with `args` in `dir` as its working directory.
inline zktest_support::ProcessResult runIn(const zktest_support::TempDir& dir,
                                           const std::string& name,
                                           const std::vector<std::string>& args = {}) {
    zktest_support::ChildOptions options;
    options.cwd = dir.path();
    return zktest_support::runChild(name, args, options);
}

// The header go() writes for the given identification.
inline std::string runHeader(const std::string& testTag, const std::string& compilerId,
                             const std::string& machineId, const std::string& remark) {
    return "## -------------------------------\n"
           "## TestTag     = " +
           testTag + "\n## CompilerId  = " + compilerId + "\n## MachineId   = " + machineId +
           "\n## Remark      = " + remark + "\n\n";
}

// The two summary lines go() writes at the end of a run.
inline std::string runSummary(int assertions, int failed) {
    return "## Assertions = " + std::to_string(assertions) +
           "\n## FailedAssertions = " + std::to_string(failed) + "\n\n\n";
}

} // namespace testobj

#endif
