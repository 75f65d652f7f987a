// SPDX-License-Identifier: MIT
// Other frameworks' command lines (see foreign_flags.h).
#include "cases/foreign_flags.h"

#include "zktest_cases.h"

#include <cstring>
#include <initializer_list>

namespace zkqe {

namespace {

unsigned dialectsSpoken = 0;

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// A pattern as one term of --filter: the characters the filter language
// reads itself are taken literally.
std::string literalTerm(const std::string& pattern) {
    std::string term;
    for (const char c : pattern) {
        if (c == ',' || c == '[' || c == ']' || c == '~' || c == '\\')
            term += '\\';
        term += c;
    }
    return term;
}

void addTerm(std::string& filter, const std::string& term, bool exclude) {
    if (term.empty())
        return;
    if (!filter.empty())
        filter += ',';
    filter += (exclude ? "~" : "") + literalTerm(term);
}

// GoogleTest's "A*:B*-C*:D": the patterns before the first '-' include, the
// ones after it exclude, ':' between them.
std::string gtestFilter(const std::string& text) {
    std::string filter;
    const std::size_t dash = text.find('-');
    const std::string parts[] = {text.substr(0, dash),
                                 dash == std::string::npos ? "" : text.substr(dash + 1)};
    for (int exclude = 0; exclude < 2; ++exclude) {
        std::size_t from = 0;
        while (from <= parts[exclude].size()) {
            std::size_t colon = parts[exclude].find(':', from);
            if (colon == std::string::npos)
                colon = parts[exclude].size();
            addTerm(filter, parts[exclude].substr(from, colon - from), exclude == 1);
            from = colon + 1;
        }
    }
    return filter;
}

// doctest's comma-separated list of patterns, each a name or, for suites,
// every case of the suite.
std::string doctestFilter(const std::string& list, bool suites, bool exclude) {
    std::string filter;
    std::size_t from = 0;
    while (from <= list.size()) {
        std::size_t comma = list.find(',', from);
        if (comma == std::string::npos)
            comma = list.size();
        const std::string pattern = list.substr(from, comma - from);
        if (!pattern.empty())
            addTerm(filter, suites ? pattern + "." : pattern, exclude);
        if (suites && !pattern.empty())
            filter += '*';
        from = comma + 1;
    }
    return filter;
}

struct Reader {
    explicit Reader(const std::vector<std::string>& words) : in(words) {}
    const std::vector<std::string>& in;
    std::size_t at = 1;
    ForeignTranslation out;
    std::string filter; // the foreign filters, joined
    bool filterGiven = false;
    bool alsoHidden = false;
    std::string reporter;
    std::string reportOut;

    void say(std::initializer_list<const char*> words) {
        for (const char* word : words)
            out.words.emplace_back(word);
    }
    void sayWith(const char* option, const std::string& value) {
        out.words.emplace_back(option);
        out.words.push_back(value);
    }
    void addFilter(const std::string& terms) {
        if (!terms.empty())
            filter += (filter.empty() ? "" : ",") + terms;
        filterGiven = true;
    }
    void refuse(const std::string& word, const char* why) {
        if (out.error.empty())
            out.error = word + ": " + why;
    }
    // The value after '=', or the next word.
    bool value(const std::string& word, std::size_t nameLength, std::string* text) {
        if (word.size() > nameLength && word[nameLength] == '=') {
            *text = word.substr(nameLength + 1);
            return true;
        }
        if (word.size() == nameLength && at + 1 < in.size()) {
            *text = in[++at];
            return true;
        }
        refuse(word, "needs a value");
        return false;
    }

    bool gtest(const std::string& word);
    bool catch2(const std::string& word);
    bool doctest(std::string word);
};

bool Reader::gtest(const std::string& word) {
    std::string name = word;
    if (startsWith(name, "--gtest_"))
        name.erase(0, 8);
    else if (startsWith(name, "-gtest_"))
        name.erase(0, 7);
    else
        return false;
    const std::size_t equals = name.find('=');
    const std::string key = name.substr(0, equals);
    const std::string text = equals == std::string::npos ? "" : name.substr(equals + 1);
    if (key == "filter") {
        addFilter(gtestFilter(text));
    } else if (key == "list_tests") {
        // The listing names the disabled tests too.
        out.gtestListing = alsoHidden = true;
        say({"--list-names"});
    } else if (key == "also_run_disabled_tests") {
        alsoHidden = true;
    } else if (key == "output") {
        // "xml:report.xml", or "xml:folder/" for one file per program.
        if (!startsWith(text, "xml"))
            refuse(word, "only xml is written");
        else if (text.size() > 4 && text[3] == ':')
            sayWith("--junit", text.substr(4));
        else
            sayWith("--junit", "test_detail.xml");
    } else if (key == "fail_fast") {
        say({"--max-failures", "1"});
    } else if (key == "repeat") {
        // GoogleTest's -1, for ever, has no counterpart.
        sayWith("--repeat", text);
    } else if (key == "shuffle") {
        say({"--shuffle"});
    } else if (key == "random_seed") {
        // 0 is GoogleTest's "a new seed each run".
        if (text != "0")
            sayWith("--seed", text);
    } else if (key == "color" || key == "brief" || key == "print_time" || key == "print_utf8" ||
               key == "break_on_failure" || key == "catch_exceptions" ||
               key == "stack_trace_depth" || key == "throw_on_failure" ||
               key == "death_test_style" || key == "recreate_environments_when_repeating") {
        // Looks and debugging: no verdict depends on them.
    } else {
        refuse(word, "not a GoogleTest flag zktest speaks");
    }
    return true;
}

bool Reader::catch2(const std::string& word) {
    std::string text;
    if (word == "-r" || word == "--reporter" || startsWith(word, "--reporter=")) {
        if (value(word, word[1] == 'r' ? 2 : 10, &text))
            reporter = text;
    } else if (word == "-o" || word == "--out" || startsWith(word, "--out=")) {
        if (value(word, word[1] == 'o' ? 2 : 5, &text))
            reportOut = text;
    } else if (word == "-a" || word == "--abort") {
        say({"--max-failures", "1"});
    } else if (word == "-x" || word == "--abortx" || startsWith(word, "--abortx=")) {
        if (value(word, word[1] == 'x' ? 2 : 8, &text))
            sayWith("--max-failures", text);
    } else if (word == "-l" || word == "--list-test-names-only") {
        say({word == "-l" ? "--list" : "--list-names"});
    } else if (word == "-s" || word == "--success" || word == "-b" || word == "--break") {
        // Looks and debugging.
    } else if (word == "-d" || word == "--durations" || word == "--use-colour" || word == "-w" ||
               word == "--warn") {
        value(word, word.size(), &text);
    } else if (word == "--order" || startsWith(word, "--order=")) {
        if (value(word, 7, &text) && text == "rand")
            say({"--shuffle"});
        else if (text != "decl")
            refuse(word, "only decl and rand orders are spoken");
    } else if (word == "--rng-seed" || startsWith(word, "--rng-seed=")) {
        if (value(word, 10, &text) && text != "time")
            sayWith("--seed", text);
    } else if (word == "-c" || word == "--section" || word == "-e" || word == "--nothrow" ||
               word == "-#") {
        refuse(word, "not spoken: zktest runs every section, every check, in order");
    } else {
        return false;
    }
    return true;
}

bool Reader::doctest(std::string word) {
    // Every flag also comes with a "dt-" prefix, for programs with flags of
    // their own.
    if (startsWith(word, "--dt-"))
        word.erase(2, 3);
    else if (startsWith(word, "-dt-"))
        word.erase(1, 3);
    const std::size_t equals = word.find('=');
    const std::string key = word.substr(0, equals);
    const std::string text = equals == std::string::npos ? "" : word.substr(equals + 1);
    if (key == "-tc" || key == "--test-case")
        addFilter(doctestFilter(text, false, false));
    else if (key == "-tce" || key == "--test-case-exclude")
        addFilter(doctestFilter(text, false, true));
    else if (key == "-ts" || key == "--test-suite")
        addFilter(doctestFilter(text, true, false));
    else if (key == "-tse" || key == "--test-suite-exclude")
        addFilter(doctestFilter(text, true, true));
    else if (key == "-ltc" || key == "--list-test-cases")
        say({"--list-names"});
    else if (key == "-r" || key == "--reporters")
        reporter = text;
    else if (key == "-o" || key == "--out")
        reportOut = text;
    else if (key == "-aa" || key == "--abort-after")
        sayWith("--max-failures", text);
    else if ((key == "-ob" || key == "--order-by") && text == "rand")
        say({"--shuffle"});
    else if ((key == "-ob" || key == "--order-by") && text == "file")
        ; // The order of the files: zktest's own.
    else if (key == "-rs" || key == "--rand-seed")
        sayWith("--seed", text);
    else if (key == "-s" || key == "--success" || key == "-nv" || key == "--no-version" ||
             key == "-nc" || key == "--no-colors" || key == "-d" || key == "--duration" ||
             key == "-ni" || key == "--no-intro" || key == "-npf" || key == "--no-path-filenames")
        ; // Looks only.
    else if (key == "--no-exitcode" || key == "-ne" || key == "--subcase" || key == "-sc" ||
             key == "--source-file" || key == "-sf" || key == "--order-by" || key == "-ob" ||
             key == "--no-throw" || key == "-nt" || key == "--no-run" || key == "-nr" ||
             key == "--count" || key == "-c")
        refuse(word, "not spoken: it would change what runs or what fails");
    else
        return false;
    return true;
}

} // namespace

ForeignTranslation translateForeignFlags(const std::vector<std::string>& words, unsigned dialects) {
    Reader reader(words);
    if (!words.empty())
        reader.out.words.push_back(words[0]);
    for (; reader.at < words.size(); ++reader.at) {
        const std::string& word = words[reader.at];
        const bool read = word.size() > 1 && word[0] == '-' &&
                          (((dialects & kGtestDialect) != 0 && reader.gtest(word)) ||
                           ((dialects & kCatch2Dialect) != 0 && reader.catch2(word)) ||
                           ((dialects & kDoctestDialect) != 0 && reader.doctest(word)));
        if (!read)
            reader.out.words.push_back(word);
    }
    // GoogleTest never runs a DISABLED_ test (a hidden case) unless asked,
    // whatever the filter; asked, it runs them with the rest.
    if ((dialects & kGtestDialect) != 0 && reader.alsoHidden && !reader.filterGiven)
        reader.addFilter("*");
    else if ((dialects & kGtestDialect) != 0 && !reader.alsoHidden && reader.filterGiven)
        reader.filter += reader.filter.empty() ? "*,~[.]" : ",~[.]";
    if (reader.filterGiven)
        reader.sayWith("--filter", reader.filter);
    if (reader.reporter == "junit" && !reader.reportOut.empty())
        reader.sayWith("--junit", reader.reportOut);
    else if (reader.reporter == "junit")
        reader.refuse("junit", "needs a file (-o FILE)");
    else if (reader.reporter == "tap")
        reader.out.words.push_back(reader.reportOut.empty() ? "--tap"
                                                            : "--tap=" + reader.reportOut);
    else if (!reader.reporter.empty() && reader.reporter != "console" &&
             reader.reporter != "compact")
        reader.refuse(reader.reporter,
                      "not a reporter zktest speaks (console, compact, junit, tap)");
    return reader.out;
}

unsigned spokenDialects() {
    return dialectsSpoken;
}

} // namespace zkqe

bool zktest::speakDialect_(unsigned dialect) {
    zkqe::dialectsSpoken |= dialect;
    return true;
}
