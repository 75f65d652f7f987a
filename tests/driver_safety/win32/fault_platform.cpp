// Windows side of the crash-guard tests: a fault ends the child with the
// exception code as exit status (wine keeps only its low 8 bits); extra
// faults are raised with RaiseException for codes no instruction gives here.
#include "../fault_platform.h"

#include <windows.h>

namespace safety_tests {

bool endedByFault(const zktest_support::ProcessResult& result, unsigned long code) {
    if (!result.exited)
        return false;
    const unsigned long status = static_cast<unsigned long>(static_cast<unsigned>(result.exitCode));
    return status == code || status == (code & 0xFFul);
}

std::vector<PlatformFault> platformFaults() {
    return {
        {"raise-0xc0000096", "Priviledged Instruction", 0xC0000096ul, ""},
        {"raise-0x80000002", "Data Misalignment", 0x80000002ul, ""},
        {"raise-0xc0000092", "Floating Point Stack Check", 0xC0000092ul, ""},
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
