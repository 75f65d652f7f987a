// SPDX-License-Identifier: MIT
// Fuzzer of the command-line search: random argument vectors are joined with
// ZKQECommandLineOptions::buildCommandLine and searched for random flag
// letters with getArgumentString at random sizes.
//
// Checked on every input, besides what the sanitizers see:
//  - the joined line is every word followed by a line feed;
//  - a copy and an assigned object hold the same text in buffers of their own;
//  - a lookup agrees with an independent model of the search, byte for byte;
//  - a found argument fits `size` (strlen <= size), is terminated inside the
//    size + 1 bytes the caller owns (the destination is allocated with exactly
//    that many bytes, so a write past them is a sanitizer report), and does
//    not start or end with whitespace;
//  - a lookup that answers false leaves every byte of the destination as it
//    was.
#include "zkqe_cmdline.h"

#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr unsigned char kCanary = 0xA5;

bool isWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The search as the documentation of getArgumentString describes it, written
// with std::string so that it shares no code with the library.
struct Lookup {
    bool found = false;
    std::string argument;
};

Lookup modelLookup(const std::string& line, char flag, int size) {
    Lookup result;
    if (line.empty())
        return result;
    const std::string key{'-', flag};
    const std::size_t at = line.find(key);
    if (at == std::string::npos)
        return result;
    result.found = true;
    std::size_t start = at + 2;
    while (start < line.size() && isWhitespace(line[start]))
        ++start;
    if (start == line.size())
        return result;
    std::size_t end = line.find("\n-", start);
    if (end == std::string::npos)
        end = line.size();
    std::size_t n = end - start;
    if (n >= static_cast<std::size_t>(size))
        n = static_cast<std::size_t>(size);
    result.argument = line.substr(start, n);
    while (result.argument.size() > 1 && isWhitespace(result.argument.back()))
        result.argument.pop_back();
    return result;
}

char pickFlag(FuzzedDataProvider& data) {
    static const char kLetters[] = "ODMCLGAo-x";
    const std::uint8_t choice = data.ConsumeIntegral<std::uint8_t>();
    if (choice < 200)
        return kLetters[choice % (sizeof kLetters - 1)];
    return static_cast<char>(data.ConsumeIntegral<std::uint8_t>());
}

void checkLookup(ZKQECommandLineOptions& options, const std::string& line, char flag, int size) {
    const std::size_t bytes = static_cast<std::size_t>(size) + 1;
    std::unique_ptr<char[]> dst(new char[bytes]);
    std::memset(dst.get(), kCanary, bytes);

    const bool found = options.getArgumentString(flag, dst.get(), size);
    const Lookup expected = modelLookup(line, flag, size);
    FUZZ_CHECK(found == expected.found);
    if (!found) {
        for (std::size_t i = 0; i < bytes; ++i)
            FUZZ_CHECK(static_cast<unsigned char>(dst[i]) == kCanary);
        return;
    }
    const void* terminator = std::memchr(dst.get(), '\0', bytes);
    FUZZ_CHECK(terminator != nullptr);
    const std::size_t length = static_cast<const char*>(terminator) - dst.get();
    FUZZ_CHECK(length <= static_cast<std::size_t>(size));
    FUZZ_CHECK(length == 0 || !isWhitespace(dst[0]));
    FUZZ_CHECK(length <= 1 || !isWhitespace(dst[length - 1]));
    FUZZ_CHECK(std::string(dst.get(), length) == expected.argument);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t count) {
    FuzzedDataProvider data(bytes, count);
    const int lookups = data.ConsumeIntegralInRange(1, 4);
    std::vector<std::pair<char, int>> queries;
    for (int i = 0; i < lookups; ++i) {
        const char flag = pickFlag(data);
        queries.emplace_back(flag, data.ConsumeIntegralInRange(0, 600));
    }

    // Words are C strings: a NUL in the input ends its word, as it would in
    // a real argument vector.
    const int argc = data.ConsumeIntegralInRange(0, 24);
    std::vector<std::string> words;
    for (int i = 0; i < argc; ++i)
        words.push_back(data.ConsumeRandomLengthString(400).c_str());
    std::vector<char*> argv;
    std::string joined;
    for (auto& word : words) {
        argv.push_back(word.data());
        joined += word;
        joined += '\n';
    }
    argv.push_back(nullptr);

    ZKQECommandLineOptions options;
    FUZZ_CHECK(options.cmdLine() == nullptr);
    checkLookup(options, "", queries[0].first, queries[0].second);

    FUZZ_CHECK(options.buildCommandLine(argc, argv.data()));
    FUZZ_CHECK(options.cmdLine() != nullptr && joined == options.cmdLine());
    for (const auto& [flag, size] : queries)
        checkLookup(options, joined, flag, size);

    ZKQECommandLineOptions copy(options);
    FUZZ_CHECK(copy.cmdLine() != options.cmdLine() && joined == copy.cmdLine());
    ZKQECommandLineOptions assigned;
    assigned = copy;
    FUZZ_CHECK(assigned.cmdLine() != copy.cmdLine() && joined == assigned.cmdLine());
    checkLookup(assigned, joined, queries.back().first, queries.back().second);

    // A second build replaces the line: the words after the first only.
    const int rest = argc > 0 ? argc - 1 : 0;
    std::string rejoined;
    for (int i = 1; i < argc; ++i)
        rejoined += words[i] + '\n';
    FUZZ_CHECK(options.buildCommandLine(rest, argv.data() + (argc > 0 ? 1 : 0)));
    FUZZ_CHECK(rejoined == options.cmdLine());
    checkLookup(options, rejoined, queries[0].first, queries[0].second);
    return 0;
}
