// SPDX-License-Identifier: MIT
// The alarm: a process-wide deadline after which a waiting thread aborts the
// process, so an unattended run can never hang for ever.
//
// The state below is written only by setAlarm, on the thread that processes
// the command-line flags, and is never read by the waiting thread (which gets
// its length when it starts), so it needs no lock. It is plain data: nothing
// here is destroyed at exit while the waiting thread may still run.
#include "driver/safety_nets.h"

#include "platform/platform.h"

#include <ctime>

namespace zkqe {

namespace {

bool alarmArmed = false;
std::uint32_t alarmSeconds = 0;
std::time_t alarmStartTime = 0;

} // namespace

unsigned alarmRemainder(std::uint32_t startTime, std::uint32_t seconds, std::uint32_t now) {
    const std::uint32_t elapsed = now - startTime;
    // The wall clock was set back since the alarm was armed: count nothing
    // as elapsed rather than mistake the jump for an overdue alarm.
    if (elapsed > 0x7FFFFFFFu)
        return seconds;
    const std::uint32_t remainder = startTime + seconds - now;
    // Due or overdue (the subtraction wrapped): one second left, so that the
    // sooner-deadline rule of armAlarmNoLater re-arms it shortly instead of
    // dropping an alarm that should already have fired.
    if (remainder == 0 || remainder > seconds)
        return 1;
    return remainder;
}

unsigned setAlarm(unsigned seconds) {
    unsigned remainder = 0;
    if (alarmArmed) {
        remainder = alarmRemainder(static_cast<std::uint32_t>(alarmStartTime), alarmSeconds,
                                   static_cast<std::uint32_t>(std::time(nullptr)));
        platform::stopAlarmThread();
        alarmArmed = false;
    }
    alarmSeconds = seconds;
    if (seconds != 0) {
        alarmStartTime = std::time(nullptr);
        alarmArmed = platform::startAlarmThread(seconds);
    }
    return remainder;
}

unsigned armAlarmNoLater(unsigned seconds) {
    const unsigned remainder = setAlarm(seconds);
    if (remainder != 0 && remainder < seconds) {
        setAlarm(remainder);
        return remainder;
    }
    return seconds;
}

} // namespace zkqe
