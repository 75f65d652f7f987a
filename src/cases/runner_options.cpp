// SPDX-License-Identifier: MIT
// The runner's options in one table, read in one pass over the words.
#include "cases/runner_options.h"

#include <cstring>

namespace zkqe {

namespace {

// A flag with a value takes it only after '=' ("--tap=run.tap"), so the word
// after it stays a filter term.
enum class Kind { flag, text, number, flagWithValue };

struct Option {
    const char* name;
    Kind kind;
    bool RunnerOptions::*flag;
    std::string RunnerOptions::*text;
    unsigned RunnerOptions::*number = nullptr;
    unsigned least = 0;    // the smallest number taken
    const char* unit = ""; // what a number counts, for the error
};

constexpr Option kOptions[] = {
    {"--list", Kind::flag, &RunnerOptions::list, nullptr},
    {"--list-names", Kind::flag, &RunnerOptions::listNames, nullptr},
    {"--list-tests", Kind::flag, &RunnerOptions::listTests, nullptr},
    {"--verbose", Kind::flag, &RunnerOptions::verbose, nullptr},
    {"--help", Kind::flag, &RunnerOptions::help, nullptr},
    {"-h", Kind::flag, &RunnerOptions::help, nullptr},
    {"-?", Kind::flag, &RunnerOptions::help, nullptr},
    {"--filter", Kind::text, nullptr, &RunnerOptions::filter},
    {"-O", Kind::text, nullptr, &RunnerOptions::outputFile},
    {"-D", Kind::text, nullptr, &RunnerOptions::outputDir},
    {"-M", Kind::text, nullptr, &RunnerOptions::machineId},
    {"-C", Kind::text, nullptr, &RunnerOptions::compilerId},
    {"-G", Kind::text, nullptr, &RunnerOptions::crashTarget},
    {"-L", Kind::number, nullptr, nullptr, &RunnerOptions::alarmSeconds, 1, " of seconds"},
    {"-A", Kind::flag, &RunnerOptions::append, nullptr},
    {"--max-failures", Kind::number, nullptr, nullptr, &RunnerOptions::maxFailures, 0},
    {"--shard-count", Kind::number, nullptr, nullptr, &RunnerOptions::shardCount, 1},
    {"--shard-index", Kind::number, nullptr, nullptr, &RunnerOptions::shardIndex, 0},
    {"--tap", Kind::flagWithValue, &RunnerOptions::tap, &RunnerOptions::tapFile},
    {"--repeat", Kind::number, nullptr, nullptr, &RunnerOptions::repeat, 1, " of runs"},
    {"--shuffle", Kind::flag, &RunnerOptions::shuffle, nullptr},
    {"--seed", Kind::number, nullptr, nullptr, &RunnerOptions::seed, 0},
    {"--junit", Kind::text, nullptr, &RunnerOptions::junitFile},
    {"--jobs", Kind::number, nullptr, nullptr, &RunnerOptions::jobs, 0, " of workers"},
    {"-j", Kind::number, nullptr, nullptr, &RunnerOptions::jobs, 0, " of workers"},
    {"--isolate", Kind::flag, &RunnerOptions::isolate, nullptr},
    {"--timeout", Kind::number, nullptr, nullptr, &RunnerOptions::timeoutSeconds, 1, " of seconds"},
    {"--retries", Kind::number, nullptr, nullptr, &RunnerOptions::retries, 0},
    {"--durations", Kind::flag, &RunnerOptions::durations, nullptr},
    {"--zktest-worker", Kind::text, nullptr, &RunnerOptions::workerChannel},
    {"--zktest-death-child", Kind::text, nullptr, &RunnerOptions::deathChild},
};

// The option a word names, and where a value glued to it starts ("-Ofile",
// "--filter=x"); null for no option of the table.
const Option* findOption(const char* word, const char** glued) {
    *glued = nullptr;
    for (const Option& option : kOptions) {
        const std::size_t length = std::strlen(option.name);
        if (std::strncmp(word, option.name, length) != 0)
            continue;
        const char* rest = word + length;
        if (*rest == '\0')
            return &option;
        if (option.kind == Kind::flag)
            continue;
        const bool longOption = option.name[1] == '-';
        if (longOption && *rest != '=')
            continue;
        *glued = longOption ? rest + 1 : rest;
        return &option;
    }
    return nullptr;
}

} // namespace

// Digits only, up to the largest unsigned: a sign, a fraction, a space or a
// number past the range is refused rather than read in part.
bool parseWholeNumber(const std::string& text, unsigned least, unsigned* number) {
    if (text.empty())
        return false;
    unsigned long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > static_cast<unsigned>(-1))
            return false;
    }
    if (value < least)
        return false;
    *number = static_cast<unsigned>(value);
    return true;
}

namespace {

void addFilterTerms(RunnerOptions& options, const std::string& terms) {
    if (options.filterGiven && !terms.empty() && !options.filter.empty())
        options.filter += ',';
    options.filter += terms;
    options.filterGiven = true;
}

} // namespace

RunnerOptions parseRunnerArguments(int argc, char** argv) {
    RunnerOptions options;
    for (int i = 1; i < argc && options.error.empty(); ++i) {
        const std::string word = argv[i];
        if (word.empty() || word[0] != '-') {
            addFilterTerms(options, word);
            continue;
        }
        const char* glued = nullptr;
        const Option* option = findOption(argv[i], &glued);
        if (option == nullptr) {
            options.error = "unknown option " + word;
            continue;
        }
        if (option->kind == Kind::flag || option->kind == Kind::flagWithValue) {
            options.*(option->flag) = true;
            if (glued != nullptr && *glued == '\0')
                options.error = std::string(option->name) + "= needs a value";
            else if (glued != nullptr)
                options.*(option->text) = glued;
            continue;
        }
        std::string value;
        if (glued != nullptr) {
            value = glued;
        } else if (i + 1 < argc &&
                   // The next word is a value unless it is another option:
                   // "-O -M box" is a forgotten name, not a report "-M". A
                   // number takes it, to say why "-5" is none.
                   (argv[i + 1][0] != '-' || option->kind == Kind::number)) {
            value = argv[++i];
        }
        if (value.empty()) {
            options.error = std::string(option->name) + " needs a value";
        } else if (option->number == &RunnerOptions::jobs && value == "auto") {
            options.jobs = 0; // as many as the cores, like 0
            options.jobsGiven = true;
        } else if (option->kind == Kind::number) {
            if (!parseWholeNumber(value, option->least, &(options.*(option->number))))
                options.error = std::string(option->name) + " " + value + ": not a whole number" +
                                option->unit + " from " + std::to_string(option->least) +
                                " to 4294967295";
            else if (option->number == &RunnerOptions::shardIndex)
                options.shardIndexGiven = true;
            else if (option->number == &RunnerOptions::seed)
                options.seedGiven = true;
            else if (option->number == &RunnerOptions::jobs)
                options.jobsGiven = true;
        } else if (option->text == &RunnerOptions::filter) {
            addFilterTerms(options, value);
        } else {
            options.*(option->text) = value;
        }
    }
    return options;
}

} // namespace zkqe
