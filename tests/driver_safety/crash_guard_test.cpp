// The crash guard: the name table, the crash line byte for byte, and real
// faults raised in child processes, each of which must write exactly one
// line naming it and still end the process as the fault would.
#include "driver/safety_nets.h"
#include "fault_platform.h"
#include "fault_triggers.h"
#include "zktest.h"
#include "zktest_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using safety_tests::endedByFault;
using zktest_support::asWritten;
using zktest_support::ProcessResult;
using zktest_support::readFile;
using zktest_support::runChild;
using zktest_support::TempDir;

constexpr int kPointerDigits = 2 * sizeof(void*);

// ---- children -----------------------------------------------------------

// argv[1]: crash report target; argv[2]: the fault; argv[3], if given: the
// directory of a status file created first.
ZKTEST_CHILD_SCENARIO(crash_guard_fault) {
    if (argc < 3)
        return 90;
    const std::string kind = argv[2];
    if (argc > 3)
        ZKQESingletonFileObject::getZKQESingletonFileObject(argv[3], "run.out");
    zkqe::installCrashGuard(argv[1]);
    if (kind == "escaped-exception")
        safety_tests::throwPastEveryHandler();
    for (const auto& fault : safety_tests::portableFaults()) {
        if (fault.kind != kind)
            continue;
        std::printf("%llu\n", static_cast<unsigned long long>(fault.faultingFunction));
        std::fflush(stdout);
        fault.trigger();
        return 91;
    }
    safety_tests::raisePlatformFault(kind);
    return 92;
}

// argv[1], argv[2]: two targets named one after the other; then a fault.
ZKTEST_CHILD_SCENARIO(crash_guard_twice) {
    if (argc < 3)
        return 90;
    zkqe::installCrashGuard(argv[1]);
    zkqe::installCrashGuard(argv[2]);
    safety_tests::portableFaults().front().trigger();
    return 91;
}

// argv[1]: the target of a run that does not crash.
ZKTEST_CHILD_SCENARIO(crash_guard_no_crash) {
    if (argc < 2)
        return 90;
    zkqe::installCrashGuard(argv[1]);
    return 0;
}

// ---- expectations -------------------------------------------------------

std::string hexCode(unsigned long code) {
    std::ostringstream text;
    text << std::hex << code;
    return text.str();
}

// The one line for `name` and `code`, with the address captured.
std::regex linePattern(const std::string& name, unsigned long code) {
    return std::regex("^" + name + " at pc 0x([0-9A-F]{" + std::to_string(kPointerDigits) +
                      "}) \\(code 0x" + hexCode(code) + "\\)" + asWritten("\n") + "$");
}

std::string pointerDigits(std::uintptr_t value) {
    std::ostringstream text;
    text.width(kPointerDigits);
    text.fill('0');
    text << std::uppercase << std::hex << value;
    return text.str();
}

// ---- the table and the line -----------------------------------------------

TEST(CrashGuardNames, EveryCodeOfTheTableHasItsName) {
    const struct {
        unsigned long code;
        const char* name;
    } rows[] = {
        {0x80000002ul, "Data Misalignment"},
        {0x80000003ul, "User Breakpoint"},
        {0x80000004ul, "Single Step"},
        {0xC0000005ul, "Access Violation"},
        {0xC0000006ul, "Page Error"},
        {0xC000001Dul, "Illegal Instruction"},
        {0xC0000025ul, "Noncontinuable"},
        {0xC0000026ul, "Invalid Disposition"},
        {0xC000008Cul, "Array Bounds Exceeded"},
        {0xC000008Dul, "Floating Point Denormal Operand"},
        {0xC000008Eul, "Floating Point Divide By Zero"},
        {0xC000008Ful, "Floating Point Inexact Result"},
        {0xC0000090ul, "Floating Point Invalid Operation"},
        {0xC0000091ul, "Floating Point Overflow"},
        {0xC0000092ul, "Floating Point Stack Check"},
        {0xC0000093ul, "Floating Point Underflow"},
        {0xC0000094ul, "Integer Divide By Zero"},
        {0xC0000095ul, "Integer Overflow"},
        {0xC0000096ul, "Priviledged Instruction"},
        {0xC00000FDul, "Stack Overflow"},
        // Neighbours and the code of an escaped C++ exception are not in it.
        {0ul, "Unknown"},
        {0x80000001ul, "Unknown"},
        {0xC0000007ul, "Unknown"},
        {0xC00000FCul, "Unknown"},
        {zkqe::kEscapedCxxExceptionCode, "Unknown"},
    };
    for (const auto& row : rows)
        EXPECT_STREQ(row.name, zkqe::exceptionName(row.code)) << std::hex << row.code;
}

TEST(CrashGuardLine, AddressUpperCasePaddedToThePointerWidthCodeLowerCase) {
    const struct {
        unsigned long code;
        std::uintptr_t pc;
        std::string expected;
    } cases[] = {
        {0xC00000FDul, 0u,
         "Stack Overflow at pc 0x" + std::string(kPointerDigits, '0') + " (code 0xc00000fd)\n"},
        {0xC0000090ul, UINTPTR_MAX,
         "Floating Point Invalid Operation at pc 0x" + std::string(kPointerDigits, 'F') +
             " (code 0xc0000090)\n"},
        {0x80000003ul, 0xABCDEFu,
         "User Breakpoint at pc 0x" + pointerDigits(0xABCDEFu) + " (code 0x80000003)\n"},
        {0x1ul, 0x10u, "Unknown at pc 0x" + pointerDigits(0x10u) + " (code 0x1)\n"},
        // As "%#x" prints it: no prefix for zero.
        {0x0ul, 0x10u, "Unknown at pc 0x" + pointerDigits(0x10u) + " (code 0)\n"},
    };
    for (const auto& c : cases) {
        char line[zkqe::kCrashLineSize];
        const std::size_t length =
            zkqe::formatCrashLine(line, c.code, reinterpret_cast<const void*>(c.pc));
        EXPECT_EQ(c.expected, std::string(line)) << std::hex << c.code;
        EXPECT_EQ(c.expected.size(), length);
    }
    // The address spelt out for each pointer width.
    char line[zkqe::kCrashLineSize];
    zkqe::formatCrashLine(line, 0xC0000005ul, reinterpret_cast<const void*>(0x4011A3u));
    EXPECT_STREQ(sizeof(void*) == 8
                     ? "Access Violation at pc 0x00000000004011A3 (code 0xc0000005)\n"
                     : "Access Violation at pc 0x004011A3 (code 0xc0000005)\n",
                 line);
}

TEST(CrashGuardLine, ReporterWritesTheLineToTheTarget) {
    TempDir dir;
    const std::string target = dir.file("report.txt");
    zkqe::crashReportFile = qe_fopen(target.c_str(), "w");
    ASSERT_NE(nullptr, zkqe::crashReportFile);
    zkqe::reportUnhandledException(0xC0000094ul, reinterpret_cast<const void*>(0x1234u));
    std::fclose(zkqe::crashReportFile);
    zkqe::crashReportFile = nullptr;
    EXPECT_EQ(asWritten("Integer Divide By Zero at pc 0x" + pointerDigits(0x1234u) +
                        " (code 0xc0000094)\n"),
              readFile(target));
}

// ---- real faults ------------------------------------------------------------

struct FaultCase {
    std::string kind;
    std::string name;
    unsigned long code;
    std::uintptr_t faultingFunction;
    std::string skipReason;
};

// Names the case in test output; the default printer dumps the object's raw
// bytes, uninitialised string storage and padding included.
void PrintTo(const FaultCase& fault, std::ostream* out) {
    *out << fault.kind;
}

std::vector<FaultCase> allFaults() {
    std::vector<FaultCase> cases;
    for (const auto& fault : safety_tests::portableFaults())
        cases.push_back(
            {fault.kind, fault.name, fault.code, fault.faultingFunction, fault.skipReason});
    for (const auto& fault : safety_tests::platformFaults())
        cases.push_back({fault.kind, fault.name, fault.code, 0, fault.skipReason});
    return cases;
}

class CrashGuardFault : public testing::TestWithParam<FaultCase> {
protected:
    void SetUp() override {
        if (!GetParam().skipReason.empty())
            GTEST_SKIP() << GetParam().skipReason;
    }

    // The address the child printed before the fault: the faulting function.
    static std::uintptr_t printedFunction(const ProcessResult& result) {
        return static_cast<std::uintptr_t>(std::strtoull(result.out.c_str(), nullptr, 10));
    }

    void expectOneLine(const std::string& text, const ProcessResult& result) {
        const FaultCase& fault = GetParam();
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, linePattern(fault.name, fault.code)))
            << "line: [" << text << "]\n"
            << result.describe();
        if (fault.faultingFunction == 0)
            return;
        // The reported address lies in the function that faulted; the child
        // printed that function's address, as its load address is its own.
        const std::uintptr_t pc =
            static_cast<std::uintptr_t>(std::stoull(match[1].str(), nullptr, 16));
        const std::uintptr_t function = printedFunction(result);
        EXPECT_GE(pc, function) << text;
        EXPECT_LT(pc, function + 4096) << text;
    }
};

TEST_P(CrashGuardFault, WritesOneLineToAFileAndTheProcessStillDies) {
    TempDir dir;
    const std::string target = dir.file("crash.txt");
    const ProcessResult result =
        runChild("crash_guard_fault", {target, GetParam().kind, dir.path()});
    EXPECT_TRUE(endedByFault(result, GetParam().code)) << result.describe();
    expectOneLine(readFile(target), result);
    EXPECT_EQ("1", readFile(dir.file("run.sta"))) << "an abnormal end leaves the status at 1";
}

TEST_P(CrashGuardFault, WritesOneLineToStandardError) {
    const ProcessResult result = runChild("crash_guard_fault", {"/dev/stderr", GetParam().kind});
    EXPECT_TRUE(endedByFault(result, GetParam().code)) << result.describe();
    expectOneLine(result.err, result);
}

std::string caseName(const testing::TestParamInfo<FaultCase>& info) {
    std::string name;
    for (char c : info.param.kind)
        name += (c == '-') ? '_' : c;
    return name;
}

INSTANTIATE_TEST_SUITE_P(Faults, CrashGuardFault, testing::ValuesIn(allFaults()), caseName);

TEST(CrashGuardProcess, EscapedExceptionIsUnknownWithTheNullAddress) {
    const std::string expected =
        "Unknown at pc 0x" + std::string(kPointerDigits, '0') + " (code 0xe06d7363)\n";
    TempDir dir;
    const std::string target = dir.file("crash.txt");
    const ProcessResult toFile = runChild("crash_guard_fault", {target, "escaped-exception"});
    EXPECT_TRUE(toFile.aborted()) << toFile.describe();
    EXPECT_EQ(asWritten(expected), readFile(target));

    const ProcessResult toError =
        runChild("crash_guard_fault", {"/dev/stderr", "escaped-exception"});
    EXPECT_TRUE(toError.aborted()) << toError.describe();
    EXPECT_EQ(asWritten(expected), toError.err);
}

TEST(CrashGuardProcess, TargetInAMissingDirectoryWritesNothingAndTheProcessStillEnds) {
    TempDir dir;
    const std::string target = dir.file("missing/crash.txt");
    const ProcessResult result = runChild("crash_guard_fault", {target, "access-violation"});
    EXPECT_TRUE(endedByFault(result, 0xC0000005ul)) << result.describe();
    EXPECT_FALSE(zktest_support::fileExists(target));
    EXPECT_EQ("", result.err);
}

TEST(CrashGuardProcess, ARunWithoutACrashLeavesAnEmptyTarget) {
    TempDir dir;
    const std::string target = dir.file("crash.txt");
    const ProcessResult result = runChild("crash_guard_no_crash", {target});
    EXPECT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_TRUE(zktest_support::fileExists(target));
    EXPECT_EQ("", readFile(target));
}

TEST(CrashGuardProcess, ASecondTargetReplacesTheFirst) {
    TempDir dir;
    const std::string first = dir.file("first.txt");
    const std::string second = dir.file("second.txt");
    const ProcessResult result = runChild("crash_guard_twice", {first, second});
    EXPECT_TRUE(endedByFault(result, 0xC0000005ul)) << result.describe();
    EXPECT_EQ("", readFile(first));
    EXPECT_TRUE(std::regex_match(readFile(second), linePattern("Access Violation", 0xC0000005ul)))
        << readFile(second);
}

} // namespace
