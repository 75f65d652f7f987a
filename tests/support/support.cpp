// Portable half of the test support: the scenario registry, the common
// main() of every test program, temporary directories and file helpers.
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace zktest_support {

namespace {
std::map<std::string, Scenario>& scenarios() {
    static std::map<std::string, Scenario> registry;
    return registry;
}
} // namespace

ScenarioRegistrar::ScenarioRegistrar(const char* name, Scenario scenario) {
    scenarios()[name] = scenario;
}

ProcessResult runChild(const std::string& name, const std::vector<std::string>& args,
                       const ChildOptions& options) {
    std::vector<std::string> argv{selfPath(), "--zk-child", name};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, options);
}

std::string ProcessResult::describe() const {
    std::ostringstream text;
    if (!started)
        text << "not started";
    else if (exited)
        text << "exit status " << exitCode;
    else if (signaled)
        text << "signal " << signal;
    else
        text << "unknown end";
    text << "\n--- stdout ---\n" << out << "\n--- stderr ---\n" << err;
    return text.str();
}

TempDir::TempDir() {
    static std::atomic<unsigned> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate =
            base / ("zktest-" + std::to_string(stamp) + "-" + std::to_string(serial.fetch_add(1)));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.generic_string();
            break;
        }
        // A name already taken is retried with the next serial; any other
        // error would repeat for ever.
        if (error) {
            std::fprintf(stderr, "cannot create a temporary directory in %s: %s\n",
                         base.generic_string().c_str(), error.message().c_str());
            std::abort();
        }
    }
}

TempDir::~TempDir() {
    std::error_code error;
    fs::remove_all(path_, error);
}

std::string TempDir::file(const std::string& name) const {
    return path_ + "/" + name;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool fileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace zktest_support

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--zk-child") == 0) {
        auto& registry = zktest_support::scenarios();
        auto found = registry.find(argv[2]);
        if (found == registry.end()) {
            std::fprintf(stderr, "no such child scenario: %s\n", argv[2]);
            return 97;
        }
        // The scenario sees argv[0] followed by its own arguments.
        std::vector<char*> childArgv{argv[0]};
        for (int i = 3; i < argc; ++i)
            childArgv.push_back(argv[i]);
        childArgv.push_back(nullptr);
        return found->second(static_cast<int>(childArgv.size()) - 1, childArgv.data());
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
