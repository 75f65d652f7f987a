// SPDX-License-Identifier: MIT
// POSIX fault hook: SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGTRAP are caught on
// an alternate signal stack, named by their Windows exception code, handed
// to the reporter, and then re-raised with the default action so the process
// still dies of its own signal.
//
// Invariants:
//  - The handler is async-signal-safe: it reads plain data written before
//    the handler was installed and initial-exec thread-locals, calls the
//    reporter (async-signal-safe by contract), sigaction and raise.
//  - Each readied thread (the installing one, and every thread that counts
//    an assertion afterwards) has an alternate stack of its own, given back
//    when the thread ends; a stack overflow on a thread never readied still
//    kills the process, just without a line.
//  - SA_RESETHAND puts the default action back on entry, so a fault inside
//    the reporter ends the process instead of looping.
//  - writeFaultText takes no stdio lock: the fault may have struck inside
//    stdio with its lock held. What the target's stream holds is drained
//    without its lock, then the line goes straight to the descriptor.
#include "platform/platform.h"
#include "platform/posix/fault_codes.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

namespace zkqe {
namespace platform {

namespace {

// Faults near the stack pointer or within this distance below the stack's
// limit are taken for an exhausted stack. Linux keeps a 1 MiB gap below a
// growing stack, so an overflow faults anywhere in it.
constexpr std::uintptr_t kNearStackPointer = 64 * 1024;
constexpr std::uintptr_t kBelowStackLimit = 1024 * 1024 + 64 * 1024;
constexpr std::uintptr_t kAboveStackLimit = 64 * 1024;

constexpr std::size_t kAlternateStackSize = 64 * 1024;

const int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP};

// Written by installFaultHook before the handler is installed.
FaultReporter faultReporter = nullptr;

// The lowest address of this thread's stack, written when the thread is
// readied, before the handler can run on its alternate stack. Initial-exec,
// so the handler reads it without a call that might allocate.
thread_local std::uintptr_t threadStackLow __attribute__((tls_model("initial-exec"))) = 0;

// A readied thread's alternate stack, given back when the thread ends.
struct AlternateStack {
    void* memory = nullptr;
    ~AlternateStack() {
        if (memory == nullptr)
            return;
        stack_t off;
        std::memset(&off, 0, sizeof off);
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        std::free(memory);
    }
};
thread_local AlternateStack threadAlternateStack;

// Program counter and stack pointer at the fault, from the machine context.
// Signal-safe.
void machineState(const void* context, const void** pc, std::uintptr_t* sp) {
    const ucontext_t* uc = static_cast<const ucontext_t*>(context);
    *pc = nullptr;
    *sp = 0;
    if (uc == nullptr)
        return;
#if defined(__x86_64__)
    *pc = reinterpret_cast<const void*>(uc->uc_mcontext.gregs[REG_RIP]);
    *sp = static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
#elif defined(__i386__)
    *pc = reinterpret_cast<const void*>(uc->uc_mcontext.gregs[REG_EIP]);
    *sp = static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_ESP]);
#elif defined(__aarch64__)
    *pc = reinterpret_cast<const void*>(uc->uc_mcontext.pc);
    *sp = static_cast<std::uintptr_t>(uc->uc_mcontext.sp);
#endif
}

// Signal-safe.
bool sentByProcess(int siCode) {
    return siCode <= 0; // SI_USER, SI_QUEUE, SI_TKILL and the like
}

// Signal-safe.
void faultHandler(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    const void* pc = nullptr;
    std::uintptr_t sp = 0;
    machineState(context, &pc, &sp);
#if defined(__i386__) || defined(__x86_64__)
    // The trap of a one-byte breakpoint instruction leaves the pc after it;
    // the report names the instruction itself, as Windows does.
    if (signal == SIGTRAP && (info->si_code == SI_KERNEL || info->si_code == TRAP_BRKPT) &&
        pc != nullptr)
        pc = static_cast<const char*>(pc) - 1;
#endif

    bool stackOverflow = false;
    if (signal == SIGSEGV && !sentByProcess(info->si_code))
        stackOverflow = isStackOverflowAddress(reinterpret_cast<std::uintptr_t>(info->si_addr), sp,
                                               threadStackLow);
    const FaultReporter reporter = faultReporter;
    if (reporter != nullptr)
        reporter(faultCodeFor(signal, info->si_code, stackOverflow), pc);

    // Die of the same signal: raised now it stays pending until the handler
    // returns; a hardware fault also strikes again on return.
    struct sigaction defaultAction;
    std::memset(&defaultAction, 0, sizeof defaultAction);
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(signal, &defaultAction, nullptr);
    errno = savedErrno;
    raise(signal);
}

// The lowest usable address of the calling thread's stack; for the main
// thread the limit set by RLIMIT_STACK, to which the stack may still grow.
// Not signal-safe (pthread_getattr_np allocates): called when the hook is installed.
std::uintptr_t currentStackLow() {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0)
        return 0;
    void* address = nullptr;
    std::size_t size = 0;
    const bool known = pthread_attr_getstack(&attributes, &address, &size) == 0;
    pthread_attr_destroy(&attributes);
    return known ? reinterpret_cast<std::uintptr_t>(address) : 0;
}

// Not signal-safe (allocates): called when a thread is readied.
void installAlternateStack() {
    if (threadAlternateStack.memory != nullptr)
        return;
    std::size_t size = kAlternateStackSize;
    if (size < static_cast<std::size_t>(SIGSTKSZ))
        size = static_cast<std::size_t>(SIGSTKSZ);
    void* memory = std::malloc(size);
    if (memory == nullptr)
        return;
    stack_t stack;
    stack.ss_sp = memory;
    stack.ss_size = size;
    stack.ss_flags = 0;
    if (sigaltstack(&stack, nullptr) == 0)
        threadAlternateStack.memory = memory;
    else
        std::free(memory);
}

} // namespace

// Signal-safe.
unsigned long faultCodeFor(int signal, int siCode, bool stackOverflow) {
    switch (signal) {
    case SIGSEGV:
        return stackOverflow ? 0xC00000FDul : 0xC0000005ul;
    case SIGBUS:
        return siCode == BUS_ADRALN ? 0x80000002ul : 0xC0000006ul;
    case SIGILL:
        return siCode == ILL_PRVOPC || siCode == ILL_PRVREG ? 0xC0000096ul : 0xC000001Dul;
    case SIGTRAP:
        // x86 reports a breakpoint instruction as SI_KERNEL, not TRAP_BRKPT.
        return siCode == TRAP_TRACE ? 0x80000004ul : 0x80000003ul;
    case SIGFPE:
        switch (siCode) {
        case FPE_INTDIV:
            return 0xC0000094ul;
        case FPE_INTOVF:
            return 0xC0000095ul;
        case FPE_FLTDIV:
            return 0xC000008Eul;
        case FPE_FLTOVF:
            return 0xC0000091ul;
        case FPE_FLTUND:
            return 0xC0000093ul;
        case FPE_FLTRES:
            return 0xC000008Ful;
        case FPE_FLTINV:
            return 0xC0000090ul;
        case FPE_FLTSUB:
            return 0xC000008Cul;
        default:
            return 0;
        }
    default:
        return 0;
    }
}

// Signal-safe.
bool isStackOverflowAddress(std::uintptr_t address, std::uintptr_t sp, std::uintptr_t stackLow) {
    if (sp != 0) {
        const std::uintptr_t distance = address < sp ? sp - address : address - sp;
        if (distance <= kNearStackPointer)
            return true;
    }
    if (stackLow != 0) {
        if (address >= stackLow)
            return address - stackLow < kAboveStackLimit;
        return stackLow - address <= kBelowStackLimit;
    }
    return false;
}

std::atomic<bool> faultHookInstalled{false};

// Not signal-safe.
void prepareThreadForFaults() {
    threadReadyForFaults = true;
    // A thread's stack does not move, and a forked copy keeps its parent's:
    // asked once, since asking reads the process's whole memory map.
    if (threadStackLow == 0)
        threadStackLow = currentStackLow();
    installAlternateStack();
}

// Not signal-safe.
void installFaultHook(FaultReporter reporter) {
    faultReporter = reporter;
    prepareThreadForFaults();

    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = faultHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : kFaultSignals)
        sigaddset(&action.sa_mask, signal);
    for (int signal : kFaultSignals)
        sigaction(signal, &action, nullptr);
    faultHookInstalled.store(true, std::memory_order_relaxed);
}

// Signal-safe.
void writeFaultText(std::FILE* file, const char* text, std::size_t length) {
    // After what the target's stream holds, so the line keeps its place.
    drainWithoutLock(file);
    const int fd = fileno(file);
    if (fd >= 0) {
        const char* next = text;
        std::size_t left = length;
        while (left > 0) {
            const ssize_t written = write(fd, next, left);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                break;
            next += written;
            left -= static_cast<std::size_t>(written);
        }
    }
    if (debuggerPresent())
        debuggerOutput(text);
}

} // namespace platform
} // namespace zkqe
