// The joined command line and the flag search, through the exported class.
#include "zktest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// Owns writable copies of the words so they can be handed over as char**.
class Argv {
public:
    Argv(std::vector<std::string> words) : words_(std::move(words)) {
        for (auto& word : words_)
            pointers_.push_back(&word[0]);
        pointers_.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(words_.size()); }
    char** argv() { return pointers_.data(); }

private:
    std::vector<std::string> words_;
    std::vector<char*> pointers_;
};

ZKQECommandLineOptions built(const std::vector<std::string>& words) {
    Argv args(words);
    ZKQECommandLineOptions options;
    EXPECT_TRUE(options.buildCommandLine(args.argc(), args.argv()));
    return options;
}

constexpr char kUntouched = '#';

struct Lookup {
    bool found;
    std::string text; // as a std::string, so embedded line feeds compare exactly
    bool dstTouched;
};

Lookup lookup(ZKQECommandLineOptions& options, char flag, int size = 254) {
    char dst[512];
    std::memset(dst, kUntouched, sizeof dst);
    const bool found = options.getArgumentString(flag, dst, size);
    const bool touched = dst[0] != kUntouched;
    const char* end = static_cast<const char*>(std::memchr(dst, '\0', sizeof dst));
    return {found,
            end != nullptr ? std::string(dst, static_cast<std::size_t>(end - dst))
                           : std::string("<unterminated>"),
            touched};
}

TEST(CommandLineJoin, EveryWordIsFollowedByALineFeed) {
    ZKQECommandLineOptions options = built({"t.exe", "-O", "out.txt", "-A"});
    EXPECT_STREQ("t.exe\n-O\nout.txt\n-A\n", options.cmdLine());
}

TEST(CommandLineJoin, WordsAreCopiedAsTheyAre) {
    ZKQECommandLineOptions options = built({"my prog", "a\nb", "", "\"q\""});
    EXPECT_STREQ("my prog\na\nb\n\n\"q\"\n", options.cmdLine());
}

TEST(CommandLineJoin, NoWordsGiveTheEmptyTextNotNull) {
    ZKQECommandLineOptions fresh;
    EXPECT_EQ(nullptr, fresh.cmdLine());
    for (int argc : {0, -1}) {
        ZKQECommandLineOptions options;
        char* none[] = {nullptr};
        EXPECT_TRUE(options.buildCommandLine(argc, none));
        ASSERT_NE(nullptr, options.cmdLine());
        EXPECT_STREQ("", options.cmdLine());
        const Lookup result = lookup(options, 'O');
        EXPECT_FALSE(result.found);
        EXPECT_FALSE(result.dstTouched);
    }
}

TEST(CommandLineJoin, ASecondBuildReplacesTheLine) {
    ZKQECommandLineOptions options = built({"t", "-Ofirst"});
    Argv second({"u", "-Dsecond"});
    EXPECT_TRUE(options.buildCommandLine(second.argc(), second.argv()));
    EXPECT_STREQ("u\n-Dsecond\n", options.cmdLine());
    EXPECT_FALSE(lookup(options, 'O').found);
    EXPECT_EQ("second", lookup(options, 'D').text);
    char* none[] = {nullptr};
    EXPECT_TRUE(options.buildCommandLine(0, none));
    EXPECT_STREQ("", options.cmdLine());
}

TEST(CommandLineLookup, NothingIsFoundBeforeTheLineIsBuilt) {
    ZKQECommandLineOptions options;
    for (char flag : {'O', 'D', 'A', '-'}) {
        const Lookup result = lookup(options, flag);
        EXPECT_FALSE(result.found) << flag;
        EXPECT_FALSE(result.dstTouched) << flag;
    }
}

struct FlagCase {
    const char* name;
    std::vector<std::string> words;
    char flag;
    bool found;
    std::string text;
};

TEST(CommandLineLookup, FindsFlagsAndTheirArguments) {
    const FlagCase cases[] = {
        {"glued", {"t", "-Ofoo"}, 'O', true, "foo"},
        {"next word", {"t", "-O", "foo"}, 'O', true, "foo"},
        {"last word", {"t", "-O"}, 'O', true, ""},
        {"only blanks follow", {"t", "-O", "  \t"}, 'O', true, ""},
        {"inner blank kept, trailing cut", {"t", "-O", "a b  "}, 'O', true, "a b"},
        {"inside a word", {"t", "x-Oy"}, 'O', true, "y"},
        {"double minus", {"t", "--Out"}, 'O', true, "ut"},
        {"in the command name", {"/x/-Abin/t", "z"}, 'A', true, "bin/t\nz"},
        {"case-sensitive", {"t", "-o", "x"}, 'O', false, ""},
        {"absent", {"t", "-D", "x"}, 'O', false, ""},
        {"flag word swallows the next flag", {"t", "-O", "-D", "x"}, 'O', true, "-D\nx"},
        {"the next flag itself", {"t", "-O", "-D", "x"}, 'D', true, "x"},
        {"several words keep their line feeds",
         {"t", "-O", "a", "b", "-D", "x"},
         'O',
         true,
         "a\nb"},
        {"after several words", {"t", "-O", "a", "b", "-D", "x"}, 'D', true, "x"},
        {"first occurrence only", {"t", "-O", "one", "-O", "two"}, 'O', true, "one"},
        {"minus inside a word does not end it", {"t", "-O", "a-b", "c"}, 'O', true, "a-b\nc"},
        {"every C-locale blank is skipped", {"t", "-O", "\t\v\f\r value"}, 'O', true, "value"},
        {"the line feed before a later word is trimmed", {"t", "-Oa", "b"}, 'O', true, "a\nb"},
        {"bytes of 128 and above are not blank", {"t", "-O", "\xA0x\x85"}, 'O', true, "\xA0x\x85"},
        {"a leading high byte is the argument", {"t", "-O\x89"}, 'O', true, "\x89"},
        {"the letter may be a minus", {"t", "a--b"}, '-', true, "b"},
    };
    for (const FlagCase& c : cases) {
        ZKQECommandLineOptions options = built(c.words);
        const Lookup result = lookup(options, c.flag);
        EXPECT_EQ(c.found, result.found) << c.name;
        EXPECT_EQ(c.found, result.dstTouched) << c.name;
        if (c.found) {
            EXPECT_EQ(c.text, result.text) << c.name;
        }
    }
}

TEST(CommandLineLookup, LongArgumentsAreCutAtSize) {
    const std::string longArgument(300, 'x');
    ZKQECommandLineOptions options = built({"t", "-O", longArgument});
    char dst[256];
    std::memset(dst, kUntouched, sizeof dst);
    ASSERT_TRUE(options.getArgumentString('O', dst, 254));
    EXPECT_EQ(std::string(254, 'x'), std::string(dst, 254));
    EXPECT_EQ('\0', dst[254]);
    EXPECT_EQ(kUntouched, dst[255]);
}

TEST(CommandLineLookup, CutThenTrimmed) {
    ZKQECommandLineOptions options = built({"t", "-O", "abcdefgh"});
    EXPECT_EQ("abc", lookup(options, 'O', 3).text);
    EXPECT_EQ("abcdefgh", lookup(options, 'O', 8).text);
    EXPECT_EQ("a", lookup(options, 'O', 1).text);

    ZKQECommandLineOptions blanks = built({"t", "-O", "ab   cd"});
    EXPECT_EQ("ab", lookup(blanks, 'O', 4).text);
    EXPECT_EQ("ab   c", lookup(blanks, 'O', 6).text);
}

TEST(CommandLineLookup, SizeZeroGivesTheEmptyText) {
    ZKQECommandLineOptions options = built({"t", "-O", "foo"});
    const Lookup result = lookup(options, 'O', 0);
    EXPECT_TRUE(result.found);
    EXPECT_TRUE(result.dstTouched);
    EXPECT_EQ("", result.text);
}

TEST(CommandLineCopy, ACopyOwnsItsOwnText) {
    ZKQECommandLineOptions original = built({"t", "-Oone"});
    ZKQECommandLineOptions copy(original);
    ASSERT_NE(nullptr, copy.cmdLine());
    EXPECT_NE(original.cmdLine(), copy.cmdLine());
    EXPECT_STREQ(original.cmdLine(), copy.cmdLine());

    Argv other({"u", "-Otwo"});
    original.buildCommandLine(other.argc(), other.argv());
    EXPECT_EQ("one", lookup(copy, 'O').text);
    EXPECT_EQ("two", lookup(original, 'O').text);
}

TEST(CommandLineCopy, AssignmentReplacesAndCopies) {
    ZKQECommandLineOptions source = built({"t", "-Dsrc"});
    ZKQECommandLineOptions target = built({"t", "-Dold"});
    target = source;
    EXPECT_NE(source.cmdLine(), target.cmdLine());
    EXPECT_EQ("src", lookup(target, 'D').text);

    ZKQECommandLineOptions empty;
    target = empty;
    EXPECT_EQ(nullptr, target.cmdLine());
    EXPECT_FALSE(lookup(target, 'D').found);

    ZKQECommandLineOptions unbuilt;
    ZKQECommandLineOptions unbuiltCopy(unbuilt);
    EXPECT_EQ(nullptr, unbuiltCopy.cmdLine());
}

TEST(CommandLineCopy, SelfAssignmentKeepsTheText) {
    ZKQECommandLineOptions options = built({"t", "-Mbox"});
    const char* before = options.cmdLine();
    ZKQECommandLineOptions& alias = options;
    options = alias;
    EXPECT_EQ(before, options.cmdLine());
    EXPECT_EQ("box", lookup(options, 'M').text);
}

} // namespace
