// options_handler: option forms, word splitting, registration and growth,
// and the programming-error checks.
#include "zktest.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

// Copying would share heap storage between two handlers; both are refused.
static_assert(!std::is_copy_constructible_v<options_handler>);
static_assert(!std::is_copy_assignable_v<options_handler>);

namespace {

using zktest_support::asWritten;

// What one callback saw: the option word and every word after it up to the
// list's null end.
struct Calls {
    std::vector<std::vector<std::string>> seen;
};

void* recordWords(char*** cursor, void* context) {
    auto* calls = static_cast<Calls*>(context);
    std::vector<std::string> words;
    for (char** word = *cursor; *word != nullptr; ++word)
        words.push_back(*word);
    calls->seen.push_back(words);
    return context;
}

// Records like recordWords, then moves the cursor far ahead.
void* recordAndSkip(char*** cursor, void* context) {
    recordWords(cursor, context);
    *cursor += 2;
    return nullptr;
}

using Words = std::vector<std::string>;

class OptionsTest : public testing::Test {
protected:
    // Processes `text` with stderr captured; returns the result.
    int process(const char* text) {
        testing::internal::CaptureStderr();
        const int result = handler.process_opts(text);
        err = testing::internal::GetCapturedStderr();
        return result;
    }
    int process(std::vector<std::string> words) {
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStderr();
        const int result = handler.process_opts(static_cast<int>(words.size()), argv.data());
        err = testing::internal::GetCapturedStderr();
        return result;
    }

    options_handler handler;
    Calls calls;
    std::string err;
};

TEST_F(OptionsTest, LetterAndLongFormsWithOneOrTwoDashes) {
    ASSERT_EQ(0, handler.set_opt(recordWords, &calls, 'l', "log"));
    for (const char* text : {"-l f", "--l f", "-log f", "--log f"}) {
        SCOPED_TRACE(text);
        calls.seen.clear();
        EXPECT_EQ(1, process(text));
        ASSERT_EQ(1u, calls.seen.size());
        EXPECT_EQ("f", calls.seen[0][1]);
        EXPECT_EQ("", err);
    }
}

TEST_F(OptionsTest, OtherDashedWordsAreReportedAndPlainWordsIgnored) {
    handler.set_opt(recordWords, &calls, 'l', "log");
    EXPECT_EQ(0, process("---log -lo - -- -L -LOG plain"));
    EXPECT_TRUE(calls.seen.empty());
    EXPECT_EQ("unrecognized option: ---log\n"
              "unrecognized option: -lo\n"
              "unrecognized option: -\n"
              "unrecognized option: --\n"
              "unrecognized option: -L\n"
              "unrecognized option: -LOG\n",
              err);
    EXPECT_EQ(1, process("a -l b c"));
    EXPECT_EQ(Words({"-l", "b", "c"}), calls.seen.at(0));
}

TEST_F(OptionsTest, AOneCharacterWordNamesOnlyALetter) {
    handler.set_opt(recordWords, &calls, 'q', "x");
    EXPECT_EQ(0, process("-x"));
    EXPECT_EQ("unrecognized option: -x\n", err);
    EXPECT_EQ(1, process("-q"));
    // An empty long form is no long form.
    handler.set_opt(recordWords, &calls, 'e', "");
    EXPECT_EQ(1, process("-e"));
}

TEST_F(OptionsTest, OnlyTheSpaceCharacterSeparatesWords) {
    handler.set_opt(recordWords, &calls, 'l', "log");
    EXPECT_EQ(1, process("  -log   f  "));
    EXPECT_EQ(Words({"-log", "f"}), calls.seen.at(0));
    calls.seen.clear();
    EXPECT_EQ(0, process("-l\tf"));
    EXPECT_TRUE(calls.seen.empty());
    EXPECT_EQ("unrecognized option: -l\tf\n", err);
    EXPECT_EQ(0, process(""));
    EXPECT_EQ(0, process("    "));
}

TEST_F(OptionsTest, QuotesGroupWordsAndStayInThem) {
    handler.set_opt(recordWords, &calls, 'l', "log");
    EXPECT_EQ(1, process("-log \"a b\""));
    EXPECT_EQ(Words({"-log", "\"a b\""}), calls.seen.at(0));
    calls.seen.clear();
    EXPECT_EQ(1, process("-log x\"a  b\"y z \"open  end"));
    EXPECT_EQ(Words({"-log", "x\"a  b\"y", "z", "\"open  end"}), calls.seen.at(0));
    // A quoted option word does not begin with '-'.
    EXPECT_EQ(0, process("\"-log\" f"));
}

TEST_F(OptionsTest, LongStringsAndManyWordsAreSplitCompletely) {
    handler.set_opt(recordWords, &calls, 'l', "log");
    const std::string longWord(95, 'w');
    const std::string text = "-log " + longWord;
    ASSERT_EQ(100u, text.size());
    EXPECT_EQ(1, process(text.c_str()));
    EXPECT_EQ(Words({"-log", longWord}), calls.seen.at(0));
    EXPECT_EQ("-log " + longWord, text); // the caller's string is left alone

    calls.seen.clear();
    std::string many = "-log";
    Words expected{"-log"};
    for (int i = 1; i < 20; ++i) {
        many += " w" + std::to_string(i);
        expected.push_back("w" + std::to_string(i));
    }
    EXPECT_EQ(1, process(many.c_str()));
    EXPECT_EQ(expected, calls.seen.at(0));
    // Eight words and nine: the edge of the word list kept on the stack.
    calls.seen.clear();
    EXPECT_EQ(1, process("a b c d e f g -l"));
    EXPECT_EQ(1, process("a b c d e f g h -l"));
    EXPECT_EQ(Words({"-l"}), calls.seen.at(0));
    EXPECT_EQ(Words({"-l"}), calls.seen.at(1));
}

TEST_F(OptionsTest, AnEmptyVectorCallsNothing) {
    handler.set_opt(recordWords, &calls, 'l', "log");
    char* argv[] = {nullptr};
    EXPECT_EQ(0, handler.process_opts(0, argv));
    EXPECT_TRUE(calls.seen.empty());
}

TEST_F(OptionsTest, VectorFormCountsEveryOptionWord) {
    Calls other;
    handler.set_opt(recordWords, &calls, 'a', "alpha");
    handler.set_opt(recordWords, &other, 'b', nullptr);
    EXPECT_EQ(3, process(Words{"-a", "x", "-b", "--alpha"}));
    ASSERT_EQ(2u, calls.seen.size());
    EXPECT_EQ(Words({"-a", "x", "-b", "--alpha"}), calls.seen[0]);
    EXPECT_EQ(Words({"--alpha"}), calls.seen[1]);
    EXPECT_EQ(Words({"-b", "--alpha"}), other.seen.at(0));
}

TEST_F(OptionsTest, MovingTheCursorDoesNotSkipWords) {
    Calls second;
    handler.set_opt(recordAndSkip, &calls, 'a', nullptr);
    handler.set_opt(recordWords, &second, 'b', nullptr);
    EXPECT_EQ(3, process("-a -b -b"));
    EXPECT_EQ(1u, calls.seen.size());
    EXPECT_EQ(2u, second.seen.size());
}

TEST_F(OptionsTest, RegisteringTheSameLetterAgainUpdatesInPlace) {
    Calls replaced;
    EXPECT_EQ(0, handler.set_opt(recordWords, &calls, 'l', "log"));
    EXPECT_EQ(1, handler.set_opt(recordWords, &calls, 'e', "error"));
    EXPECT_EQ(0, handler.set_opt(recordWords, &replaced, 'l', "logging"));
    EXPECT_EQ(2, process("-l --logging --log"));
    EXPECT_EQ(2u, replaced.seen.size());
    EXPECT_TRUE(calls.seen.empty());
    EXPECT_EQ("unrecognized option: --log\n", err);
    // Found by its long form, the option takes a new letter.
    EXPECT_EQ(1, handler.set_opt(recordWords, &replaced, 'x', "error"));
    EXPECT_EQ(2, process("-x -error -e"));
    EXPECT_EQ("unrecognized option: -e\n", err);
    // Updated without a long form, it has none.
    EXPECT_EQ(1, handler.set_opt(recordWords, &replaced, 'x', nullptr));
    EXPECT_EQ(1, process("-x -error"));
    EXPECT_EQ("unrecognized option: -error\n", err);
}

TEST_F(OptionsTest, ANullCallbackIsRecognisedAndItsRecordReused) {
    EXPECT_EQ(0, handler.set_opt(recordWords, &calls, 'a', nullptr));
    EXPECT_EQ(1, handler.set_opt(nullptr, nullptr, 'n', "null"));
    EXPECT_EQ(3, process("-n --null -a"));
    EXPECT_EQ(1u, calls.seen.size());
    EXPECT_EQ("", err);
    // The next new option takes the lowest free record.
    EXPECT_EQ(1, handler.set_opt(recordWords, &calls, 'z', "zeta"));
    EXPECT_EQ(2, process("-z --zeta -n -null"));
    EXPECT_EQ("unrecognized option: -n\nunrecognized option: -null\n", err);
    EXPECT_EQ(2, handler.set_opt(recordWords, &calls, 'c', nullptr));
    // An option updated to a null callback frees its record.
    EXPECT_EQ(0, handler.set_opt(nullptr, nullptr, 'a', nullptr));
    EXPECT_EQ(0, handler.set_opt(recordWords, &calls, 'd', nullptr));
    EXPECT_EQ(3, handler.set_opt(recordWords, &calls, 'e', nullptr));
}

TEST_F(OptionsTest, TheTableGrowsByDoublingAndKeepsItsOptions) {
    // Long forms of every length: inside the record and on the heap.
    std::vector<Calls> perOption(17);
    std::vector<std::string> names;
    for (int i = 0; i < 17; ++i) {
        names.push_back(
            std::string(static_cast<std::size_t>(1 + i % 6), static_cast<char>('a' + i)));
        if (names.back().size() == 1)
            names.back() += "1"; // a one-letter long form could never be named
        ASSERT_EQ(i, handler.set_opt(recordWords, &perOption[static_cast<std::size_t>(i)],
                                     static_cast<char>('A' + i), names.back().c_str()));
    }
    for (int i = 0; i < 17; ++i) {
        const std::string letter = std::string("-") + static_cast<char>('A' + i);
        EXPECT_EQ(2, process((letter + " --" + names[static_cast<std::size_t>(i)]).c_str())) << i;
        EXPECT_EQ(2u, perOption[static_cast<std::size_t>(i)].seen.size()) << i;
        EXPECT_EQ("", err);
    }
    // Updating a grown record that keeps its long form inside it.
    EXPECT_EQ(6, handler.set_opt(recordWords, &perOption[0], 'G', "gg"));
    EXPECT_EQ(1, process("--gg"));
    EXPECT_EQ(3u, perOption[0].seen.size());
}

// ---- programming errors ---------------------------------------------------

void* nothing(char***, void*) {
    return nullptr;
}

ZKTEST_CHILD_SCENARIO(options_null_word) {
    options_handler handler;
    handler.set_opt(nothing, nullptr, 'l', "log");
    char* words[] = {nullptr, nullptr};
    handler.process_opts(1, words);
    return 0;
}

ZKTEST_CHILD_SCENARIO(options_letter_and_name_disagree) {
    options_handler handler;
    handler.set_opt(nothing, nullptr, 'a', "alpha");
    handler.set_opt(nothing, nullptr, 'b', "beta");
    handler.set_opt(nothing, nullptr, 'a', "beta");
    return 0;
}

ZKTEST_CHILD_SCENARIO(options_negative_count) {
    options_handler handler;
    char* words[] = {nullptr};
    handler.process_opts(-1, words);
    return 0;
}

ZKTEST_CHILD_SCENARIO(options_null_string) {
    options_handler handler;
    handler.process_opts(static_cast<const char*>(nullptr));
    return 0;
}

TEST(OptionsPreconditionTest, EachCheckStopsTheProcessWithItsMessage) {
    const struct {
        const char* scenario;
        const char* message;
    } cases[] = {
        {"options_null_word", "Assertion failed: name != NULL, file ..\\zkoptions, line 234\n"},
        {"options_letter_and_name_disagree",
         "Assertion failed: inx == i || size_t (-1) == i, file ..\\zkoptions, line 49\n"},
        {"options_negative_count", "Assertion failed: argc >= 0, file ..\\zkoptions, line 200\n"},
        {"options_null_string", "Assertion failed: str != NULL, file ..\\zkoptions, line 112\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        auto result = zktest_support::runChild(c.scenario);
        EXPECT_TRUE(result.aborted()) << result.describe();
        EXPECT_EQ(asWritten(c.message), result.err);
        EXPECT_EQ("", result.out);
    }
}

} // namespace
