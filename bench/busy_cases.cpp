// SPDX-License-Identifier: MIT
// A program of cases that each spend a set CPU time, for runs spread over
// worker processes: ZKTEST_BENCH_CASES cases (1,000 unless set) of
// ZKTEST_BENCH_MICROSECONDS of CPU each (1,000 unless set). With
// ZKTEST_BENCH_PEAK set, the process says its peak resident memory on
// standard error as it exits; workers end without exit handlers, so the
// figure is the parent's alone.
#include <zktest_cases.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

long fromEnvironment(const char* name, long otherwise) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atol(value) : otherwise;
}

const long kMicroseconds = fromEnvironment("ZKTEST_BENCH_MICROSECONDS", 1000);

void busyCase(ZKQETest&) {
    const std::clock_t end = std::clock() + kMicroseconds * (CLOCKS_PER_SEC / 1000000.0);
    while (kMicroseconds != 0 && std::clock() < end) {
    }
}

void sayPeak() {
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr)
            if (std::strncmp(line, "VmHWM:", 6) == 0)
                std::fprintf(stderr, "peak %s", line + 6);
        std::fclose(status);
    }
}

const bool registered = [] {
    static std::vector<std::string> names;
    const long count = fromEnvironment("ZKTEST_BENCH_CASES", 1000);
    names.reserve(static_cast<std::size_t>(count));
    for (long i = 0; i < count; ++i)
        names.push_back("busy " + std::to_string(i));
    for (const std::string& name : names)
        zktest::registerCase(&busyCase, __FILE__, 1, name.c_str());
    if (std::getenv("ZKTEST_BENCH_PEAK") != nullptr)
        std::atexit(sayPeak);
    return true;
}();

} // namespace
