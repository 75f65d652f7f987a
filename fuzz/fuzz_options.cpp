// SPDX-License-Identifier: MIT
// Fuzzer of the option-word splitter: options_handler::process_opts(const
// char*) on random strings, with the two registrations the memory statistics
// make for ZKMEMSTATS ('l'/"log" and 'e'/"error"), whose callbacks here only
// record the word list they are handed.
//
// Checked on every input, besides what the sanitizers see:
//  - the words agree with an independent splitter: same number, same bytes,
//    quotes kept in their words;
//  - no word is empty and none holds a blank outside double quotes;
//  - each callback sees the option word and every later word, in order, and
//    then the null entry that ends the list;
//  - the result counts exactly the words that name a registered option;
//  - standard error receives "unrecognized option: <word>\n" for every other
//    word that begins with '-', and nothing else.
// Standard error is caught in a memory file around each call; sanitizer
// reports go to a copy of the real one.
#include "zkoptions.h"

#include "fuzz_check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// Split at blanks outside double quotes; a quote toggles the state and stays
// in its word.
std::vector<std::string> modelSplit(const std::string& text) {
    std::vector<std::string> words;
    bool quoted = false;
    bool open = false;
    for (char c : text) {
        if (c == ' ' && !quoted) {
            open = false;
            continue;
        }
        if (!open) {
            words.emplace_back();
            open = true;
        }
        words.back() += c;
        if (c == '"')
            quoted = !quoted;
    }
    return words;
}

// Which registration a word names: 'l', 'e', or 0 for none.
char modelOption(const std::string& word) {
    std::size_t skip = 0;
    if (skip < word.size() && word[skip] == '-')
        ++skip;
    if (skip < word.size() && word[skip] == '-')
        ++skip;
    const std::string rest = word.substr(skip);
    if (rest == "l" || rest == "log")
        return 'l';
    if (rest == "e" || rest == "error")
        return 'e';
    return 0;
}

struct Call {
    char option;
    std::vector<std::string> words; // from the option word to the null entry
};

std::vector<Call> calls;

void* record(char*** cursor, void* context) {
    Call call{*static_cast<const char*>(context), {}};
    for (char** word = *cursor; *word != nullptr; ++word)
        call.words.emplace_back(*word);
    calls.push_back(call);
    // Moving the cursor must not change what the parser does next.
    *cursor += 1;
    return context;
}

char logContext = 'l';
char errorContext = 'e';

int savedStderr = -1;
int capture = -1; // where standard error goes during a call

// Splits and processes `text` and checks everything against the model.
void checkProcessing(const std::string& text) {
    const std::vector<std::string> words = modelSplit(text);

    std::string expectedErr;
    int expectedMatches = 0;
    std::vector<Call> expectedCalls;
    for (std::size_t i = 0; i < words.size(); ++i) {
        FUZZ_CHECK(!words[i].empty());
        if (words[i][0] != '-')
            continue;
        const char option = modelOption(words[i]);
        if (option == 0) {
            expectedErr += "unrecognized option: " + words[i] + "\n";
            continue;
        }
        ++expectedMatches;
        expectedCalls.push_back({option, std::vector<std::string>(words.begin() + i, words.end())});
    }

    options_handler handler;
    FUZZ_CHECK(handler.set_opt(record, &logContext, 'l', "log") == 0);
    FUZZ_CHECK(handler.set_opt(record, &errorContext, 'e', "error") == 1);

    calls.clear();
    std::fflush(stderr);
    FUZZ_CHECK(ftruncate(capture, 0) == 0 && lseek(capture, 0, SEEK_SET) == 0);
    FUZZ_CHECK(dup2(capture, 2) == 2);
    const int matches = handler.process_opts(text.c_str());
    std::fflush(stderr);
    FUZZ_CHECK(dup2(savedStderr, 2) == 2);

    std::string err;
    FUZZ_CHECK(lseek(capture, 0, SEEK_SET) == 0);
    char chunk[4096];
    ssize_t got;
    while ((got = read(capture, chunk, sizeof chunk)) > 0)
        err.append(chunk, static_cast<std::size_t>(got));
    FUZZ_CHECK(got == 0);

    FUZZ_CHECK(matches == expectedMatches);
    FUZZ_CHECK(err == expectedErr);
    FUZZ_CHECK(calls.size() == expectedCalls.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        FUZZ_CHECK(calls[i].option == expectedCalls[i].option);
        FUZZ_CHECK(calls[i].words == expectedCalls[i].words);
        for (const std::string& word : calls[i].words) {
            FUZZ_CHECK(!word.empty());
            bool quoted = false;
            for (char c : word) {
                FUZZ_CHECK(c != ' ' || quoted);
                if (c == '"')
                    quoted = !quoted;
            }
        }
    }
}

} // namespace

// Present only in a sanitizer build; the corpus replay of an ordinary build
// runs without it.
extern "C" __attribute__((weak)) void __sanitizer_set_report_fd(void* fd);

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    savedStderr = dup(2);
    // Sanitizer reports must still reach the terminal while standard error
    // is caught.
    if (__sanitizer_set_report_fd != nullptr)
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(savedStderr)));
    // A file in memory: it is emptied and read back twice per input.
    capture = memfd_create("zktest-fuzz-stderr", MFD_CLOEXEC);
    if (capture < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t count) {
    // A C string: the first NUL ends it.
    const std::string text(reinterpret_cast<const char*>(bytes),
                           strnlen(reinterpret_cast<const char*>(bytes), count));
    checkProcessing(text);
    // The same words behind an option word: its callback then sees every
    // word of the text, also those before the text's first option.
    checkProcessing("-l " + text);
    return 0;
}
