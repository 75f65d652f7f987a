// SPDX-License-Identifier: MIT
// A child process for one statement of the death checks, and how it ended.
// POSIX forks, so the child is this process at this point; Windows cannot,
// so the child is the program started again with one more argument, which
// the runner reads to run the same case up to the same check.
#ifndef ZKQE_PLATFORM_CHILD_PROCESS_H
#define ZKQE_PLATFORM_CHILD_PROCESS_H

#include <string>

namespace zkqe {
namespace platform {

struct ChildEnd {
    enum class Way {
        returned, // the statement returned: the child ended by our hand
        exited,   // exit(status), or a return from main
        died,     // a fault, abort() or another fatal signal
        failed    // no child ran: `text` says why
    };
    Way way = Way::failed;
    int status = 0;
    // For a death: the exception code of a fault (0 when there is none),
    // whether it was abort(), and on POSIX the signal (0 on Windows).
    unsigned long code = 0;
    bool aborted = false;
    int signal = 0;
    // What the child wrote to its standard error (line ends as "\n"), or
    // why no child ran.
    std::string text;
};

// Runs `body(context)` in a child and waits for its end. A forked child
// runs it at once; a started one is this program with `argument` appended
// to its command line, and runs it when the runner reaches it.
ChildEnd runChild(void (*body)(void*), void* context, const char* argument);

// Where a child's own test writes its report: the parent's check is the
// one that reports.
extern const char* const kNullDevice;

// In a started child: abort() and a fault end it as runChild can tell,
// silently, with no report or dialog.
void prepareStartedChild();
// In a started child, around the case it runs again: what the case writes
// before the check's statement the parent has written already, so the
// child's standard output and error go to the null device until then.
void muteStandardStreams();
void unmuteStandardStreams();
// The end of a started child whose statement returned.
[[noreturn]] void endChildReturned();

} // namespace platform
} // namespace zkqe

#endif
