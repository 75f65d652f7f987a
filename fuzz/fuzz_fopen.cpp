// SPDX-License-Identifier: MIT
// Fuzzer of qe_fopen's path conversion: relative paths of safe characters and
// '/', with lengths around the 259/260 boundary between the stack and the
// heap copy and far beyond, opened inside a temporary directory of the
// fuzzer's own (made with mkdtemp; every input runs with it as the working
// directory, and the previous working directory comes back afterwards, so
// libFuzzer's relative corpus and artifact paths keep their meaning).
//
// Checked on every input, besides what the sanitizers see:
//  - a successful open created exactly the converted path ('/' turned into
//    the separator): a marker written through the FILE reads back from that
//    path, and once it and the directories made for it are removed the
//    temporary directory is empty again (no file under a cut or garbled
//    name);
//  - a failed open leaves errno set, and fopen on the converted path fails
//    with the same errno (qe_fopen refuses nothing that fopen takes);
//  - the special device names give the standard streams and create nothing.
#include "zkqe_output.h"

#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string workDir;
int previousDir = -1;

// The crash artifact of a violated property goes where libFuzzer expects it.
void leaveWorkDir() {
    if (previousDir >= 0)
        (void)!fchdir(previousDir);
}

const char kSafe[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._";
static_assert(sizeof kSafe - 1 == 64, "one character per 6 bits");

bool directoryIsEmpty() {
    DIR* dir = opendir(".");
    FUZZ_CHECK(dir != nullptr);
    bool empty = true;
    while (dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            empty = false;
    closedir(dir);
    return empty;
}

std::size_t pickLength(FuzzedDataProvider& data) {
    switch (data.ConsumeIntegralInRange(0, 3)) {
    case 0: // the boundary of the stack copy: 259 characters fit, 260 do not
        return data.ConsumeIntegralInRange<std::size_t>(255, 265);
    case 1: // far beyond, past the system's path limit too
        return data.ConsumeIntegralInRange<std::size_t>(266, 6000);
    default:
        return data.ConsumeIntegralInRange<std::size_t>(1, 300);
    }
}

// A relative path of safe characters and '/'. No component is made only of
// dots, so no path leaves the temporary directory.
std::string makePath(FuzzedDataProvider& data) {
    const std::size_t length = pickLength(data);
    std::string path;
    for (std::size_t i = 0; i < length; ++i) {
        if (data.remaining_bytes() > 0) {
            const std::uint8_t byte = data.ConsumeIntegral<std::uint8_t>();
            path += byte % 16 == 0 ? '/' : kSafe[byte % 64];
        } else {
            // Out of input: plain names with a separator every 100 characters.
            path += i % 100 == 99 ? '/' : static_cast<char>('a' + i % 26);
        }
    }
    if (path[0] == '/')
        path[0] = 'x';
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start && path.find_first_not_of('.', start) >= end)
            path[start] = 'x';
        start = end + 1;
    }
    return path;
}

void checkPath(const std::string& path, const char* mode) {
    std::string converted = path;
    for (char& c : converted)
        if (c == '/')
            c = pathSeparator[0];

    // The directories the path needs, made in order until one cannot be.
    std::vector<std::string> made;
    for (std::size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string dir = converted.substr(0, slash);
        if (dir.empty() || dir.back() == pathSeparator[0])
            continue;
        if (mkdir(dir.c_str(), 0700) == 0)
            made.push_back(dir);
        else if (errno != EEXIST)
            break;
    }

    errno = 0;
    FILE* file = qe_fopen(path.c_str(), mode);
    const int openErrno = errno;
    if (file != nullptr) {
        const std::string marker = "marker " + std::to_string(path.size()) + "\n";
        FUZZ_CHECK(std::fputs(marker.c_str(), file) >= 0);
        FUZZ_CHECK(std::fclose(file) == 0);
        struct stat info;
        FUZZ_CHECK(stat(converted.c_str(), &info) == 0 && S_ISREG(info.st_mode));
        const int fd = open(converted.c_str(), O_RDONLY);
        FUZZ_CHECK(fd >= 0);
        char back[64] = {};
        const ssize_t got = read(fd, back, sizeof back - 1);
        close(fd);
        FUZZ_CHECK(got >= 0 && marker == std::string(back, static_cast<std::size_t>(got)));
        FUZZ_CHECK(unlink(converted.c_str()) == 0);
    } else {
        FUZZ_CHECK(openErrno != 0);
        // A path ending in '/' names a directory made above; anything else
        // must not exist after a failed open.
        FUZZ_CHECK(path.back() == '/' || access(converted.c_str(), F_OK) != 0);
        errno = 0;
        FILE* direct = std::fopen(converted.c_str(), mode);
        const int directErrno = errno;
        if (direct != nullptr) {
            std::fclose(direct);
            unlink(converted.c_str());
        }
        FUZZ_CHECK(direct == nullptr);
        FUZZ_CHECK(directErrno == openErrno);
    }
    for (auto dir = made.rbegin(); dir != made.rend(); ++dir)
        FUZZ_CHECK(rmdir(dir->c_str()) == 0);
    FUZZ_CHECK(directoryIsEmpty());
}

void removeWorkDir() {
    if (!workDir.empty())
        rmdir(workDir.c_str()); // left in place if a finding left files in it
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Making and removing directories is most of the work of an input:
    // point TMPDIR at a memory-backed file system to make it faster.
    const char* tmp = std::getenv("TMPDIR");
    if (tmp == nullptr || *tmp == '\0')
        tmp = "/tmp";
    std::string pattern = std::string(tmp) + "/zktest-fuzz-fopen-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    workDir = pattern;
    std::atexit(removeWorkDir);
    fuzz_check::beforeTrap = leaveWorkDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t count) {
    FuzzedDataProvider data(bytes, count);
    static const char* const kModes[] = {"w", "a", "wb", "w+"};
    const char* mode = kModes[data.ConsumeIntegralInRange(0, 3)];

    previousDir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    FUZZ_CHECK(previousDir >= 0);
    FUZZ_CHECK(chdir(workDir.c_str()) == 0);
    checkPath(makePath(data), mode);
    FUZZ_CHECK(fchdir(previousDir) == 0);
    close(previousDir);
    previousDir = -1;
    return 0;
}
