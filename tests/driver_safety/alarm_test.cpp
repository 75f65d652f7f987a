// The alarm: the remainder a re-arm reports, and in child processes that an
// armed alarm aborts a run that lasts too long, that re-arming and disarming
// take effect, that very long alarms keep their length, and that an armed
// alarm never holds up a process that ends in order.
#include "driver/safety_nets.h"
#include "fault_platform.h"
#include "zktest.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using zktest_support::ProcessResult;
using zktest_support::readFile;
using zktest_support::runChild;
using zktest_support::TempDir;

// Seconds whose count of milliseconds no longer fits 32 bits: 4,294,968,000
// ms wraps to 704 ms.
constexpr unsigned kBeyondMilliseconds = 4294968u;

void sleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void createStatusFile(const char* directory) {
    ZKQESingletonFileObject::getZKQESingletonFileObject(directory, "run.out");
}

// ---- children -----------------------------------------------------------

// argv[1]: alarm seconds; argv[2]: seconds to sleep; argv[3], if given: the
// directory of a status file created first.
ZKTEST_CHILD_SCENARIO(alarm_then_sleep) {
    if (argc < 3)
        return 90;
    if (argc > 3)
        createStatusFile(argv[3]);
    zkqe::setAlarm(static_cast<unsigned>(std::stoul(argv[1])));
    sleepSeconds(std::stod(argv[2]));
    return 0;
}

// Prints what each setAlarm in argv returns, one per line; a word "sleep:N"
// sleeps N seconds in between. Ends in order.
ZKTEST_CHILD_SCENARIO(alarm_sequence) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.compare(0, 6, "sleep:") == 0) {
            sleepSeconds(std::stod(word.substr(6)));
            continue;
        }
        const unsigned remainder = zkqe::setAlarm(static_cast<unsigned>(std::stoul(word)));
        std::printf("%u\n", remainder);
        std::fflush(stdout);
    }
    return 0;
}

std::vector<unsigned long> printedNumbers(const ProcessResult& result) {
    std::istringstream in(result.out);
    std::vector<unsigned long> numbers;
    unsigned long number = 0;
    while (in >> number)
        numbers.push_back(number);
    return numbers;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---- remainder ----------------------------------------------------------

TEST(AlarmRemainder, SecondsLeftOfTheReplacedAlarm) {
    const struct {
        std::uint32_t start, seconds, now;
        unsigned expected;
        const char* why;
    } cases[] = {
        {1000, 30, 1000, 30, "replaced at once"},
        {1000, 30, 1010, 20, "ten seconds later"},
        {1000, 30, 1029, 1, "last second"},
        {1000, 30, 1030, 1, "due now: one second, not 'none armed'"},
        {1000, 30, 1031, 1, "overdue by a second: the subtraction wraps"},
        {1000, 30, 900000, 1, "long overdue"},
        {1000, 30, 990, 30, "wall clock set back: nothing counts as elapsed"},
        {0xFFFFFFF0u, 0x20, 0x5, 11, "the 32-bit time wraps between arming and now"},
        {0xFFFFFFF0u, 0x20, 0xFFFFFFFFu, 17, "the deadline lies past the wrap"},
        {1000, UINT_MAX, 1000, UINT_MAX, "the longest alarm"},
        {1000, UINT_MAX, 1010, UINT_MAX - 10, "the longest alarm, later"},
        {1000, 1, 1000, 1, "the shortest alarm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, zkqe::alarmRemainder(c.start, c.seconds, c.now)) << c.why;
}

// ---- processes ----------------------------------------------------------

TEST(AlarmProcess, AbortsARunThatOutlivesIt) {
    TempDir dir;
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult result = runChild("alarm_then_sleep", {"2", "5", dir.path()});
    const double elapsed = secondsSince(start);
    // Aborted, so the alarm fired before the five-second sleep ended.
    EXPECT_TRUE(result.aborted()) << result.describe();
    EXPECT_EQ("", result.err) << "the alarm ends the run without a word";
    EXPECT_GE(elapsed, 1.5);
    EXPECT_LT(elapsed, 60.0);
    EXPECT_EQ("1", readFile(dir.file("run.sta"))) << "an aborted run leaves the status at 1";
}

TEST(AlarmProcess, AnArmedAlarmDoesNotHoldUpAnOrderlyEnd) {
    TempDir dir;
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult result = runChild("alarm_then_sleep", {"120", "0", dir.path()});
    EXPECT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ("", result.err);
    EXPECT_LT(secondsSince(start), 60.0);
    EXPECT_EQ("0", readFile(dir.file("run.sta"))) << "the status file's finaliser ran";
}

TEST(AlarmProcess, ReArmingReturnsTheSecondsLeft) {
    const ProcessResult result = runChild("alarm_sequence", {"30", "60", "0"});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    const std::vector<unsigned long> remainders = printedNumbers(result);
    ASSERT_EQ(3u, remainders.size()) << result.out;
    EXPECT_EQ(0u, remainders[0]) << "nothing was armed";
    EXPECT_GE(remainders[1], 29u);
    EXPECT_LE(remainders[1], 30u);
    EXPECT_GE(remainders[2], 59u);
    EXPECT_LE(remainders[2], 60u);
}

TEST(AlarmProcess, DisarmingKeepsTheProcessAlivePastTheFirstDeadline) {
    const ProcessResult result = runChild("alarm_sequence", {"1", "0", "sleep:2.5"});
    EXPECT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_EQ(zktest_support::asWritten("0\n1\n"), result.out);
}

TEST(AlarmProcess, AShorterReArmReplacesTheLongerAlarm) {
    const ProcessResult result = runChild("alarm_sequence", {"120", "1", "sleep:5"});
    EXPECT_TRUE(result.aborted()) << result.describe();
    EXPECT_EQ("", result.err);
}

TEST(AlarmProcess, AlarmsBeyondTheMillisecondRangeKeepTheirLength) {
    // A 32-bit millisecond count would make this alarm fire after 0.7 s.
    const ProcessResult result = runChild(
        "alarm_sequence", {std::to_string(kBeyondMilliseconds), "sleep:2", "4294967295", "0"});
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    const std::vector<unsigned long> remainders = printedNumbers(result);
    ASSERT_EQ(3u, remainders.size()) << result.out;
    EXPECT_GE(remainders[1], kBeyondMilliseconds - 4);
    EXPECT_LE(remainders[1], kBeyondMilliseconds - 1);
    EXPECT_GE(remainders[2], 4294967295ul - 1);
    EXPECT_LE(remainders[2], 4294967295ul);
}

} // namespace
