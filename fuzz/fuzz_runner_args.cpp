// SPDX-License-Identifier: MIT
// Fuzzer of the case runner's word parser: random argument vectors, their
// words drawn from the options' spellings, numbers at the edges of -L's range
// and random text.
//
// Checked on every input, besides what the sanitizers see:
//  - every field agrees with an independent model that reads the words by a
//    switch on their letters rather than through a table;
//  - argv[0] is never read as an option: any first word parses the same;
//  - a value is kept whole, however long or odd.
#include "cases/runner_options.h"

#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

using zkqe::RunnerOptions;

// Digits only, no more than the largest 32-bit unsigned, at least `least`.
bool modelNumber(const std::string& text, unsigned least, unsigned* number) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    std::string digits = text.substr(std::min(text.find_first_not_of('0'), text.size()));
    if (digits.size() > 10 || (digits.size() == 10 && digits > "4294967295"))
        return false;
    const unsigned value = digits.empty() ? 0 : static_cast<unsigned>(std::stoull(digits));
    if (value < least)
        return false;
    *number = value;
    return true;
}

RunnerOptions model(const std::vector<std::string>& words) {
    RunnerOptions out;
    std::vector<std::string> terms;
    for (std::size_t i = 1; i < words.size() && out.error.empty(); ++i) {
        const std::string& w = words[i];
        if (w.empty() || w[0] != '-') {
            terms.push_back(w);
            continue;
        }
        if (w == "--list")
            out.list = true;
        else if (w == "--list-names")
            out.listNames = true;
        else if (w == "--list-tests")
            out.listTests = true;
        else if (w == "--verbose")
            out.verbose = true;
        else if (w == "--help" || w == "-h" || w == "-?")
            out.help = true;
        else if (w == "-A")
            out.append = true;
        else if (w == "--shuffle")
            out.shuffle = true;
        else if (w == "--isolate")
            out.isolate = true;
        else if (w == "--durations")
            out.durations = true;
        else if (w == "--tap" || w.rfind("--tap=", 0) == 0) {
            // A file only after '=': the next word is never taken.
            out.tap = true;
            out.error = w == "--tap=" ? "--tap= needs a value" : "";
            out.tapFile = w.size() > 6 ? w.substr(6) : out.tapFile;
        } else {
            std::string name;
            std::string value;
            bool glued = false;
            if (w.rfind("--filter=", 0) == 0 || w.rfind("--shard-count=", 0) == 0 ||
                w.rfind("--shard-index=", 0) == 0 || w.rfind("--max-failures=", 0) == 0 ||
                w.rfind("--repeat=", 0) == 0 || w.rfind("--seed=", 0) == 0 ||
                w.rfind("--junit=", 0) == 0 || w.rfind("--jobs=", 0) == 0 ||
                w.rfind("--zktest-worker=", 0) == 0 || w.rfind("--timeout=", 0) == 0 ||
                w.rfind("--retries=", 0) == 0 || w.rfind("--zktest-death-child=", 0) == 0) {
                name = w.substr(0, w.find('='));
                value = w.substr(w.find('=') + 1);
                glued = true;
            } else if (w == "--filter" || w == "--shard-count" || w == "--shard-index" ||
                       w == "--max-failures" || w == "--repeat" || w == "--seed" ||
                       w == "--junit" || w == "--jobs" || w == "--timeout" || w == "--retries" ||
                       w == "--zktest-worker" || w == "--zktest-death-child") {
                name = w;
            } else if (w.size() >= 2 && std::string("ODMCGLj").find(w[1]) != std::string::npos) {
                name = w.substr(0, 2);
                value = w.substr(2);
                glued = w.size() > 2;
            } else {
                out.error = "unknown option " + w;
                break;
            }
            // A number takes the next word whatever it is, to say why "-5" is
            // none; a text only a word without a dash.
            const bool number = name == "-L" || name == "-j" ||
                                (name[1] == '-' && name != "--filter" && name != "--junit" &&
                                 name != "--zktest-worker" && name != "--zktest-death-child");
            if (!glued && i + 1 < words.size() &&
                (number || words[i + 1].empty() || words[i + 1][0] != '-'))
                value = words[++i];
            if (value.empty()) {
                out.error = name + " needs a value";
            } else if ((name == "--jobs" || name == "-j") && value == "auto") {
                out.jobs = 0;
                out.jobsGiven = true;
            } else if (name == "--jobs" || name == "-j" || name == "--timeout") {
                const bool jobs = name != "--timeout";
                if (!modelNumber(value, jobs ? 0 : 1, jobs ? &out.jobs : &out.timeoutSeconds))
                    out.error = name + " " + value + ": not a whole number of " +
                                (jobs ? "workers from 0" : "seconds from 1") + " to 4294967295";
                out.jobsGiven |= jobs && out.error.empty();
            } else if (name == "-L" || name == "--shard-count" || name == "--shard-index" ||
                       name == "--max-failures" || name == "--repeat" || name == "--seed" ||
                       name == "--retries") {
                // -L, --shard-count and --repeat count from 1, the others from 0.
                const bool fromOne = name == "-L" || name == "--shard-count" || name == "--repeat";
                const unsigned least = fromOne ? 1 : 0;
                unsigned* number = name == "-L"              ? &out.alarmSeconds
                                   : name == "--shard-count" ? &out.shardCount
                                   : name == "--shard-index" ? &out.shardIndex
                                   : name == "--repeat"      ? &out.repeat
                                   : name == "--seed"        ? &out.seed
                                   : name == "--retries"     ? &out.retries
                                                             : &out.maxFailures;
                const std::string unit = name == "-L"         ? " of seconds"
                                         : name == "--repeat" ? " of runs"
                                                              : "";
                if (!modelNumber(value, least, number))
                    out.error = name + " " + value + ": not a whole number" + unit + " from " +
                                std::to_string(least) + " to 4294967295";
                out.shardIndexGiven |= out.error.empty() && name == "--shard-index";
                out.seedGiven |= out.error.empty() && name == "--seed";
            } else if (name == "--filter") {
                terms.push_back(value);
            } else {
                std::string& field = name == "--junit"                ? out.junitFile
                                     : name == "--zktest-worker"      ? out.workerChannel
                                     : name == "--zktest-death-child" ? out.deathChild
                                     : name == "-O"                   ? out.outputFile
                                     : name == "-D"                   ? out.outputDir
                                     : name == "-M"                   ? out.machineId
                                     : name == "-C"                   ? out.compilerId
                                                                      : out.crashTarget;
                field = value;
            }
        }
    }
    out.filterGiven = !terms.empty();
    for (const std::string& term : terms) {
        if (!out.filter.empty() && !term.empty())
            out.filter += ',';
        out.filter += term;
    }
    return out;
}

bool same(const RunnerOptions& a, const RunnerOptions& b) {
    return a.list == b.list && a.listNames == b.listNames && a.listTests == b.listTests &&
           a.verbose == b.verbose && a.help == b.help && a.filter == b.filter &&
           a.filterGiven == b.filterGiven && a.outputFile == b.outputFile &&
           a.outputDir == b.outputDir && a.machineId == b.machineId &&
           a.compilerId == b.compilerId && a.crashTarget == b.crashTarget &&
           a.alarmSeconds == b.alarmSeconds && a.append == b.append &&
           a.maxFailures == b.maxFailures && a.error == b.error && a.tap == b.tap &&
           a.tapFile == b.tapFile && a.repeat == b.repeat && a.shuffle == b.shuffle &&
           a.seed == b.seed && a.seedGiven == b.seedGiven && a.junitFile == b.junitFile &&
           a.shardIndexGiven == b.shardIndexGiven && a.jobs == b.jobs &&
           a.jobsGiven == b.jobsGiven && a.isolate == b.isolate &&
           a.timeoutSeconds == b.timeoutSeconds && a.durations == b.durations &&
           a.workerChannel == b.workerChannel && a.retries == b.retries &&
           a.deathChild == b.deathChild;
}

std::string pickWord(FuzzedDataProvider& data) {
    // The words the parser knows, near misses, numbers at the edges of the
    // range, folder-like words with a dash and a capital, and the empty word.
    static const std::vector<std::string> kWords = [] {
        std::istringstream list(
            "-O -D -M -C -L -G -A -h -? --help --list --list-names --list-tests --shard-count "
            "--shard-index=1 --max-failures --max-failures=0 --verbose --filter --filter= -Ox "
            "-L5 -L-1 -Ax --filterx --lists - -- 0 1 -5 1.5 4294967295 4294967296 0004294967295 "
            "18446744073709551617 build-Debug/a clang-O2 Dual-Core --tap --tap= --tap=t.tap "
            "--tapx --junit --junit= --junit=run.xml --junitx --repeat --repeat=0 --repeat=3 "
            "--seed --seed=7 --shuffle --shufflex --jobs --jobs=auto -j2 -jx auto --isolate "
            "--timeout --timeout=0 --durations --durationsx --zktest-worker --zktest-worker=3,4 "
            "--retries --retries=2 --zktest-death-child --zktest-death-child=0:1");
        std::vector<std::string> words{""};
        for (std::string word; list >> word;)
            words.push_back(word);
        return words;
    }();
    const std::uint8_t choice = data.ConsumeIntegral<std::uint8_t>();
    if (choice < 160)
        return kWords[choice % kWords.size()];
    // Words are C strings: a NUL ends the word, as in a real argument vector.
    return data.ConsumeRandomLengthString(300).c_str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t count) {
    FuzzedDataProvider data(bytes, count);
    const int argc = data.ConsumeIntegralInRange(0, 12);
    std::vector<std::string> words;
    for (int i = 0; i < argc; ++i)
        words.push_back(pickWord(data));
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const RunnerOptions parsed = zkqe::parseRunnerArguments(argc, argv.data());
    FUZZ_CHECK(same(parsed, model(words)));

    if (argc > 0) {
        std::string other = "-O" + words[0] + "-L";
        argv[0] = other.data();
        FUZZ_CHECK(same(zkqe::parseRunnerArguments(argc, argv.data()), parsed));
    }
    return 0;
}
