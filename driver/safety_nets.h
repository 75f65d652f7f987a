// The two process-wide safety nets that the -L and -G flags switch on: the
// alarm, which aborts a run that takes too long, and the crash guard, which
// writes one line naming a fatal fault before the process ends. Neither is
// tied to a test object; both stay in force until the process ends.
#ifndef ZKQE_DRIVER_SAFETY_NETS_H
#define ZKQE_DRIVER_SAFETY_NETS_H

#include <cstdio>

namespace zkqe {

// Arms the alarm for `seconds` (0 disarms) and returns the seconds that were
// left of the alarm it replaces, or 0 when none was armed.
unsigned setAlarm(unsigned seconds);

// Where the crash guard writes; null when no target is named or it could not
// be opened.
extern FILE* crashReportFile;

// Opens `target` with qe_fopen in mode "w" as the crash report target and
// installs the crash guard, whether or not the open succeeded.
void installCrashGuard(const char* target);

} // namespace zkqe

#endif
