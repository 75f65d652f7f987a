// Windows side of the crash-guard tests: a fault ends the child with the
// exception code as exit status (wine keeps only its low 8 bits); extra
// faults are raised with RaiseException for codes no instruction gives here.
// Codes the MinGW runtime resumes on its own before any filter sees them
// (misalignment, array bounds, floating-point stack check, integer overflow)
// are left out: they never reach the crash guard in a MinGW program.
#include "../fault_platform.h"

#include <windows.h>

namespace safety_tests {

std::string stackOverflowSkipReason() {
    // Wine lets the stack run into its last page before it raises the
    // overflow, and then ends the thread for want of room to dispatch it.
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr)
        return "wine cannot dispatch a stack overflow to the process";
    return "";
}

bool endedByFault(const zktest_support::ProcessResult& result, unsigned long code) {
    if (!result.exited)
        return false;
    const unsigned long status = static_cast<unsigned long>(static_cast<unsigned>(result.exitCode));
    return status == code || status == (code & 0xFFul);
}

std::vector<PlatformFault> platformFaults() {
    return {
        {"raise-0xc0000096", "Priviledged Instruction", 0xC0000096ul, ""},
        {"raise-0x80000004", "Single Step", 0x80000004ul, ""},
        {"raise-0xc0000006", "Page Error", 0xC0000006ul, ""},
        {"raise-0xc000008d", "Floating Point Denormal Operand", 0xC000008Dul, ""},
        {"raise-0xc0000025", "Noncontinuable", 0xC0000025ul, ""},
        {"raise-0xe06d7363", "Unknown", 0xE06D7363ul, ""},
    };
}

void raisePlatformFault(const std::string& kind) {
    const std::string prefix = "raise-";
    if (kind.compare(0, prefix.size(), prefix) != 0)
        return;
    const unsigned long code = std::stoul(kind.substr(prefix.size()), nullptr, 16);
    RaiseException(static_cast<DWORD>(code), EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

} // namespace safety_tests
