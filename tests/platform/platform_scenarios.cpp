// SPDX-License-Identifier: MIT
// What the driver gets from the platform layer, seen from whole runs: the
// crash guard's line for every kind of fatal fault and the end of the process
// that follows, the alarm that aborts (or, disarmed or not yet due, leaves
// alone) a run, files that refuse writes, and the copy of diagnostics
// that an attached debugger receives.
#include "scenario.h"

#include "driver/safety_nets.h"
#include "platform/platform.h"
#include "zkqe_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <utility>
#if !defined(_WIN32)
#include "platform/posix/fault_codes.h"

#include <csignal>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// The sanitizers would report these faults before they happen.
#define FAULTING __attribute__((noinline, no_sanitize("address", "undefined")))

// Read back through volatile, so the compiler knows neither address nor divisor.
static volatile int zero = 0;

// Each fault in a function of its own, so that the reported address can be
// placed.
struct Trigger {
    FAULTING static void segv() { *reinterpret_cast<int*>(std::uintptr_t{64} + zero) = 1; }
    FAULTING static void intdiv() { zero = 7 / zero; }
    FAULTING static void ill() { __builtin_trap(); }
    FAULTING static void trap() { __asm__ volatile("int3"); }
    // Large frames, each touched from its top down: the stack runs out far
    // below the stack pointer of the frame that faults (an 8 MiB limit is no
    // multiple of the frame), where only the stack's own limit tells.
    FAULTING static void stack() {
        volatile char frame[768 * 1024];
        for (std::size_t at = sizeof frame; at >= 4096; at -= 4096)
            frame[at - 1] = 1;
        again();
        frame[0] = frame[1];
    }
    static inline void (*volatile again)() = stack; // no loop can replace the recursion
#if !defined(_WIN32)
    // A store to a shared mapping beyond the end of its (empty) file.
    FAULTING static void bus() {
        const int fd = memfd_create("bus", 0);
        static_cast<char*>(mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0))[0] = 1;
    }
#endif
};

// The test whose body runs the fault, for faults on a thread of their own.
static scenario::Probe* asserting = nullptr;

const std::pair<const char*, void (*)()> kFaults[] = {
    {"segv", Trigger::segv},
    {"intdiv", Trigger::intdiv},
    {"ill", Trigger::ill},
    {"trap", Trigger::trap},
    {"stack", Trigger::stack},
    {"none", [] {}},
    {"escape", [] {}},
#if !defined(_WIN32)
    {"bus", Trigger::bus},
    // A thread that has asserted is readied for the crash guard.
    {"thread_stack",
     [] {
         std::thread([] {
             asserting->assertTrue("on a thread", "platform", 2, true, "2");
             Trigger::stack();
         }).join();
     }},
#endif
};

// Passes the fault on to the crash guard after a line that tells whether the
// reported address lies in the function that faulted, and for a breakpoint
// whether it is the breakpoint's own instruction (int3, 0xCC).
static std::uintptr_t faultingFunction = 0;
static void checkPc(unsigned long code, const void* pc) {
    const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(pc) - faultingFunction;
    std::fprintf(stderr, "pc %s the faulting function\n", offset < 1024 ? "inside" : "outside");
    if (code == 0x80000003UL && offset < 1024)
        std::fprintf(stderr, "pc %s the breakpoint\n",
                     *static_cast<const unsigned char*>(pc) == 0xCC ? "at" : "past");
    zkqe::reportUnhandledException(code, pc);
}

// argv[2]: the fault; argv[3]: "checked" to check its address, "plain", or
// "limited" to let files grow to 16 bytes only (a full disk: later writes
// fail); then the test's flags.
SCENARIO(crash) {
    scenario::Probe test("platform", "", ".", "run.out");
    test.processDefaultArguments(argc - 1, argv + 1);
    const std::string kind = argv[2], mode = argv[3];
    auto* fault = kFaults;
    while (kind != fault->first)
        ++fault;
    faultingFunction = reinterpret_cast<std::uintptr_t>(fault->second);
    if (mode == "checked")
        zkqe::platform::installFaultHook(checkPc);
#if !defined(_WIN32)
    if (mode == "limited") {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    using zkqe::platform::isStackOverflowAddress; // how near the stack pointer counts
    if (kind == "stack")
        std::fprintf(stderr, "near the stack pointer: %d %d\n",
                     isStackOverflowAddress(0xBF0F0000u, 0xBF100000u, 0),
                     isStackOverflowAddress(0xBF0EFFFFu, 0xBF100000u, 0));
#endif
    asserting = &test;
    test.body = [fault](scenario::Probe& t) {
        t.print("the fault comes next");
        t.assertTrue("fails", "platform", 1, false, "1");
        t.outStream() << "streamed\n";
        fault->second();
    };
    const int failures = test.go();
    if (kind == "escape")
        throw 42; // past every handler
    return failures;
}

// -L 60 in the flags: an alarm that is not due when the run ends; -L 1: one
// that fires while the body waits.
SCENARIO(alarm_quiet) {
    // Stale from some interrupted call: no loop of the library may take it
    // for the result of a call of its own.
    errno = EINTR;
    qe_fprintf(stdout, "the first diagnostic\n");
    std::printf("remainders: none armed %u, ", zkqe::setAlarm(1));
    std::printf("just armed %u; a third gone %u, due %u, overdue %u, clock set back %u, %u\n",
                zkqe::setAlarm(0), zkqe::alarmRemainder(1000, 30, 1010),
                zkqe::alarmRemainder(1000, 30, 1030), zkqe::alarmRemainder(1000, 30, 1031),
                zkqe::alarmRemainder(1000, 30, 990), zkqe::alarmRemainder(0, 10, 0x7FFFFFFFu));
    std::fflush(stdout);
    scenario::Probe test("platform", "", ".", "run.out");
    test.processDefaultArguments(argc - 1, argv + 1);
    test.body = [](scenario::Probe& t) {
        t.print("past the disarmed alarm");
        [[maybe_unused]] const std::clock_t start = std::clock();
        zkqe::platform::sleepMilliseconds(1500);
#if !defined(_WIN32)
        std::printf("while the alarm waits the process is %s\n",
                    std::clock() - start < CLOCKS_PER_SEC / 2 ? "idle" : "busy");
        static volatile sig_atomic_t caught = 0;
        signal(SIGUSR1, [](int) { caught = 1; });
        sigset_t usr1, old;
        sigemptyset(&usr1);
        sigaddset(&usr1, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &usr1, &old);
        kill(getpid(), SIGUSR1);
        zkqe::platform::sleepMilliseconds(200);
        std::printf("a signal this thread blocks was taken elsewhere: %d, ", caught);
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        std::printf("then here: %d\n", caught);
#endif
        errno = EINTR;
    };
    return test.go();
}

#if !defined(_WIN32)
// The debugger: this process traces a copy of itself that runs the scenario
// its arguments name.
SCENARIO(traced) {
    const pid_t child = fork();
    if (child == 0) {
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        argv[1] = argv[0];
        _exit(execv("/proc/self/exe", argv + 1));
    }
    int status = 0;
    while (waitpid(child, &status, 0) == child && WIFSTOPPED(status)) {
        // The child raises no SIGTRAP: that stop is the tracer's own, at exec.
        const long signal = WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
        ptrace(PTRACE_CONT, child, nullptr, reinterpret_cast<void*>(signal));
    }
    std::printf("traced child: %s\n", WIFSIGNALED(status) ? strsignal(WTERMSIG(status)) : "exit");
    return 0;
}

// What qe_fprintf answers when only the debugger gets the text: its whole
// length, also past a NUL in it and past the copy's buffer.
SCENARIO(debugger_count) {
    const std::string longText(1500, 'x');
    std::printf("%d %d\n", qe_fprintf(nullptr, "a%cb", '\0'),
                qe_fprintf(nullptr, "%s", longText.c_str()));
    std::fflush(stdout);
    std::_Exit(0); // past the leak checker's exit hook, which fails under a tracer
}
#endif
