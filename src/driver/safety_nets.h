// SPDX-License-Identifier: MIT
// The two process-wide safety nets that the -L and -G flags switch on: the
// alarm, which aborts a run that takes too long, and the crash guard, which
// writes one line naming a fatal fault before the process ends. Neither is
// tied to a test object; both stay in force until the process ends.
#ifndef ZKQE_DRIVER_SAFETY_NETS_H
#define ZKQE_DRIVER_SAFETY_NETS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace zkqe {

// Arms the alarm for `seconds` (0 disarms) and returns the seconds that were
// left of the alarm it replaces, or 0 when none was armed.
unsigned setAlarm(unsigned seconds);
// Arms the alarm for `seconds` unless one armed earlier rings sooner, which
// then stays, counted again from now: an alarm is never lengthened. Returns
// the seconds until the alarm rings.
unsigned armAlarmNoLater(unsigned seconds);

// Where the crash guard writes; null when no target is named or it could not
// be opened.
extern FILE* crashReportFile;

// Opens `target` with qe_fopen in mode "w" as the crash report target and
// installs the crash guard, whether or not the open succeeded.
void installCrashGuard(const char* target);

// ---- internals, reachable for white-box tests ---------------------------

// What setAlarm returns for an alarm of `seconds` armed at `startTime` and
// replaced at `now` (times in seconds, 32-bit wrapping arithmetic).
unsigned alarmRemainder(std::uint32_t startTime, std::uint32_t seconds, std::uint32_t now);

// The code under which an escaped C++ exception is reported.
constexpr unsigned long kEscapedCxxExceptionCode = 0xE06D7363ul;

// The table's name for an exception code; "Unknown" for any other code.
const char* exceptionName(unsigned long code);

// Room for the longest crash line and its terminator.
constexpr std::size_t kCrashLineSize = 96;

// Formats "<name> at pc 0x<ADDRESS> (code 0x<code>)\n" into `line` (at least
// kCrashLineSize bytes), the address in upper-case hex padded to the pointer
// width. Async-signal-safe. Returns the length.
std::size_t formatCrashLine(char* line, unsigned long code, const void* pc);

// The crash guard's reporter: writes the line for a fault to crashReportFile,
// if there is one. Async-signal-safe on POSIX.
void reportUnhandledException(unsigned long code, const void* pc);

} // namespace zkqe

#endif
