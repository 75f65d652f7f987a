// The instance's first use and its configuration from ZKMEMSTATS, each in a
// fresh process: the warning, the messages on standard error, the log file
// and the handler table.
#include "checked_block_builder.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <sstream>
#include <string>

namespace {

using memstats_test::BlockArena;
using memstats_test::headerDump;
using memstats_test::row;
using memstats_test::tableHead;
using memstats_test::trailerDump;
using zktest_support::asWritten;
using zktest_support::readFile;

// Two blocks, one with a damaged leading guard and one with a damaged
// trailing guard, made the same way in the child and in the test.
struct DamagedBlocks {
    static constexpr std::uint32_t kHeaderBlockSize = 16;
    static constexpr std::uint32_t kTrailerBlockSize = 24;

    explicit DamagedBlocks(BlockArena& arena)
        : headerDamaged(arena.add(kHeaderBlockSize, ZKMemStats::ScalarBlock, 1)),
          trailerDamaged(arena.add(kTrailerBlockSize, ZKMemStats::ArrayBlock, 2)) {}
    void damage() {
        headerDamaged[-3] = 0xe9;
        trailerDamaged[kTrailerBlockSize + 1] = '!';
    }
    unsigned char* headerDamaged;
    unsigned char* trailerDamaged;
};

// Prints what the test checks: whether logging is on, and the handler table
// ('i' ignoreError, 'a' abortOnError, '?' anything else).
void printState(ZKMemStats* stats) {
    ZKMemStatsImp* imp = stats->imp;
    std::string handlers;
    for (auto handler : imp->errorHandlers)
        handlers += handler == ZKMemStats::ErrorHandler(ZKMemStats::ignoreError)    ? 'i'
                    : handler == ZKMemStats::ErrorHandler(ZKMemStats::abortOnError) ? 'a'
                                                                                    : '?';
    std::printf("logging=%d\nhandlers=%s\n", imp->currentLogger == imp->enabledLogger ? 1 : 0,
                handlers.c_str());
}

// Arguments: "log-damaged" logs an allocation of each block, damages them,
// checks them and logs their deallocation with the result, as a checked-
// allocation tool would; "call-handler" calls the handler of InvalidHeader.
ZKTEST_CHILD_SCENARIO(memstats_first_use) {
    ZKMemStats* stats = ZKMemStats::instance();
    if (ZKMemStats::instance() != stats)
        return 3;
    printState(stats);
    for (int i = 1; i < argc; ++i) {
        const std::string action = argv[i];
        if (action == "log-damaged") {
            static BlockArena arena;
            DamagedBlocks blocks(arena);
            ZKMemStatsImp* imp = stats->imp;
            imp->blockTable.entries[0] = {blocks.headerDamaged, 1};
            imp->blockTable.entries[1] = {blocks.trailerDamaged, 1};
            imp->blockTable.count = 2;
            for (unsigned char* p : {blocks.headerDamaged, blocks.trailerDamaged}) {
                const auto* header = BlockArena::header(p);
                imp->currentLogger->logAllocation(header->kind, p, header, stats->statusOf(p));
            }
            blocks.damage();
            for (unsigned char* p : {blocks.headerDamaged, blocks.trailerDamaged}) {
                const auto* header = BlockArena::header(p);
                imp->currentLogger->logDeallocation(header->kind, p, header, stats->statusOf(p));
            }
            std::printf("blocks=%" PRIuPTR " %" PRIuPTR "\n",
                        reinterpret_cast<std::uintptr_t>(blocks.headerDamaged),
                        reinterpret_cast<std::uintptr_t>(blocks.trailerDamaged));
        } else if (action == "call-handler") {
            std::fflush(stdout);
            stats->imp->errorHandlers[1](ZKMemStats::InvalidHeader, "invalid header");
        }
    }
    return 0;
}

const char kWarning[] = "warning: operator replacement is not supported in this environment: ";

class ZkMemStatsVariableTest : public testing::Test {
protected:
    // Runs the child in a fresh directory with ZKMEMSTATS set to `value`, or
    // unset for a null value.
    zktest_support::ProcessResult run(const char* value,
                                      const std::vector<std::string>& args = {}) {
        zktest_support::ChildOptions options;
        options.cwd = dir.path();
        if (value != nullptr)
            options.env.push_back({"ZKMEMSTATS", value});
        else
            options.unsetEnv.push_back("ZKMEMSTATS");
        return zktest_support::runChild("memstats_first_use", args, options);
    }

    // Standard error holds `before`, then the one warning line: the text,
    // ": ", whatever message errno gave perror, and the line end.
    static void expectStandardError(const std::string& before, const std::string& err) {
        const std::string head = asWritten(before) + kWarning;
        ASSERT_EQ(head, err.substr(0, head.size())) << err;
        const std::string message = err.substr(head.size());
        const std::string end = asWritten("\n");
        ASSERT_GT(message.size(), end.size()) << err;
        EXPECT_EQ(end, message.substr(message.size() - end.size())) << err;
        EXPECT_EQ(std::string::npos,
                  message.substr(0, message.size() - end.size()).find_first_of("\r\n"))
            << err;
    }

    static std::string state(int logging, const std::string& handlers) {
        return asWritten("logging=" + std::to_string(logging) + "\nhandlers=" + handlers + "\n");
    }

    // Handler table texts: entry 0, entries 1-30, entries 31-32.
    static std::string handlers(char configurable) {
        return "i" + std::string(30, configurable) + "ii";
    }

    zktest_support::TempDir dir;
};

// The log that "log-damaged" leaves, rebuilt from the child's addresses.
std::string damagedLog(const std::string& out, bool allOperations, bool dumps) {
    const std::size_t at = out.find("blocks=");
    if (at == std::string::npos)
        return "no block addresses in: " + out;
    std::uintptr_t headerAt = 0, trailerAt = 0;
    std::istringstream(out.substr(at + 7)) >> headerAt >> trailerAt;

    BlockArena arena;
    DamagedBlocks blocks(arena);
    blocks.damage();
    const int hs = DamagedBlocks::kHeaderBlockSize;
    const int ts = DamagedBlocks::kTrailerBlockSize;
    std::string log = tableHead();
    if (allOperations)
        log += row("new", headerAt, hs, 1, "") + row("new[]", trailerAt, ts, 2, "");
    log += row("delete", headerAt, hs, 1, "*** Invalid Header ***");
    if (dumps)
        log += headerDump(blocks.headerDamaged, headerAt);
    log += row("delete[]", trailerAt, ts, 2, "*** Invalid Trailer ***");
    if (dumps)
        log += trailerDump(blocks.trailerDamaged, ts, trailerAt);
    return log;
}

TEST_F(ZkMemStatsVariableTest, UnsetLeavesLoggingOffAndErrorsIgnored) {
    auto result = run(nullptr);
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ(state(0, handlers('i')), result.out);
    expectStandardError("", result.err); // once, though instance() ran twice
}

TEST_F(ZkMemStatsVariableTest, LogAllWithDumpsAndAbortingHandlers) {
    auto result = run("-log mem.log all dumps -error abort", {"log-damaged"});
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(0, result.exitCode);
    EXPECT_EQ(0u, result.out.find(state(1, handlers('a')))) << result.out;
    expectStandardError("", result.err);
    EXPECT_EQ(asWritten(damagedLog(result.out, true, true)), readFile(dir.file("mem.log")));
}

TEST_F(ZkMemStatsVariableTest, LetterFormWithOnlyErrors) {
    auto result = run("-l mem.log errors", {"log-damaged"});
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(0u, result.out.find(state(1, handlers('i')))) << result.out;
    expectStandardError("", result.err);
    EXPECT_EQ(asWritten(damagedLog(result.out, false, false)), readFile(dir.file("mem.log")));
}

TEST_F(ZkMemStatsVariableTest, DoubleDashLongFormLogsEveryOperation) {
    auto result = run("--log mem.log", {"log-damaged"});
    ASSERT_TRUE(result.exited) << result.describe();
    expectStandardError("", result.err);
    EXPECT_EQ(asWritten(damagedLog(result.out, true, false)), readFile(dir.file("mem.log")));
}

TEST_F(ZkMemStatsVariableTest, UnknownLoggingModeIsReportedAndLoggingStaysOn) {
    auto result = run("-log mem.log verbose all");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(state(1, handlers('i')), result.out);
    expectStandardError("unrecognized logging option: verbose\n", result.err);
    EXPECT_EQ(asWritten(tableHead()), readFile(dir.file("mem.log")));
}

TEST_F(ZkMemStatsVariableTest, ErrorModesApplyInOrderAndTheLastWins) {
    struct Case {
        const char* value;
        char handler;
        const char* messages;
    } cases[] = {
        {"-error ignore abort", 'a', ""},
        {"-error abort ignore", 'i', ""},
        {"-e abort", 'a', ""},
        {"--error abort", 'a', ""},
        {"-error fatal", 'i', "unrecognized error-handling option: fatal\n"},
        {"-error fatal abort error", 'a',
         "unrecognized error-handling option: fatal\n"
         "unrecognized error-handling option: error\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        auto result = run(c.value);
        ASSERT_TRUE(result.exited) << result.describe();
        EXPECT_EQ(state(0, handlers(c.handler)), result.out);
        expectStandardError(c.messages, result.err);
    }
}

TEST_F(ZkMemStatsVariableTest, FileNameIsTheNextWordEvenWithADash) {
    auto result = run("-log -error abort");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(state(1, handlers('a')), result.out);
    expectStandardError("unrecognized logging option: abort\n", result.err);
    EXPECT_EQ(asWritten(tableHead()), readFile(dir.file("-error")));
}

TEST_F(ZkMemStatsVariableTest, UnknownOptionWordsAreReported) {
    auto result = run("-x words without dash -log mem.log --");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(state(1, handlers('i')), result.out);
    expectStandardError("unrecognized option: -x\nunrecognized option: --\n", result.err);
}

TEST_F(ZkMemStatsVariableTest, UnopenableLogFileLeavesLoggingOffQuietly) {
    auto result = run("-log no-such-dir/mem.log all dumps");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(state(0, handlers('i')), result.out);
    expectStandardError("", result.err);
    EXPECT_FALSE(zktest_support::fileExists(dir.file("no-such-dir")));
}

TEST_F(ZkMemStatsVariableTest, LogWithoutAFileNameIsReported) {
    auto result = run("-error abort -log");
    ASSERT_TRUE(result.exited) << result.describe();
    EXPECT_EQ(state(0, handlers('a')), result.out);
    expectStandardError("missing log file name after -log\n", result.err);
}

TEST_F(ZkMemStatsVariableTest, AbortModeHandlerEndsTheProcessThroughAbort) {
    auto result = run("-error abort", {"call-handler"});
    EXPECT_TRUE(result.aborted()) << result.describe();
    EXPECT_EQ(state(0, handlers('a')), result.out);
    expectStandardError("", result.err);
}

} // namespace
