// What each stress worker does at each step, shared by the child that writes
// the reports and the checker that reads them back, so that the checker knows
// exactly which lines must be there.
//
// Worker n (a global number, unique across all test objects of a run) makes
// `steps` failing assertions, numbered 0 .. steps-1. Around them, by step:
//  - every 4th step: one passing assertion as well;
//  - failing assertions alternate between assertTrue and assertSmall; every
//    3rd has no identifier, the others the identifier "T<n>";
//  - every 100th step: print("p<n>.<i>");
//  - every 200th step (offset 50): a stream piece, "<o<n>.<i>>" and a line
//    feed in one insertion after outStream();
//  - every 250th step (offset 10): setStepTag("s<n>.<i>");
//  - every 1000th step (offset 500): setFunctionTag("F<n>.<i>"), by workers
//    with an even number, and setRunTag("R<n>.<i>"), by the odd ones.
// Every failure has the tag "t<n>.<i>", the file "stress.cpp" and the line i.
#ifndef ZKTEST_TESTS_STRESS_PLAN_H
#define ZKTEST_TESTS_STRESS_PLAN_H

#include <cstdlib>
#include <string>

namespace stress {

inline bool passesToo(int i) {
    return i % 4 == 0;
}
inline bool usesAssertSmall(int i) {
    return i % 2 == 1;
}
inline bool hasId(int i) {
    return i % 3 != 0;
}
inline bool prints(int i) {
    return i % 100 == 0;
}
inline bool streams(int i) {
    return i % 200 == 50;
}
inline bool setsStepTag(int i) {
    return i % 250 == 10;
}
inline bool setsFunctionOrRunTag(int i) {
    return i % 1000 == 500;
}

inline std::string name(char kind, int worker, int step) {
    return kind + std::to_string(worker) + "." + std::to_string(step);
}

// Counts over the steps 0 .. steps-1 of one worker.
inline int countSteps(int steps, bool (*rule)(int)) {
    int n = 0;
    for (int i = 0; i < steps; ++i)
        n += rule(i) ? 1 : 0;
    return n;
}

// The counts of a run are divided by this on the emulated legs (qemu, wine,
// and valgrind, which the memory-checking leg puts in front of children the
// same way), where every write is several times slower; the thread sanitizer
// runs the full counts in seconds. ZKTEST_STRESS_DIVISOR overrides it (1 runs
// the full counts everywhere).
inline int scaleDivisor() {
    if (const char* divisor = std::getenv("ZKTEST_STRESS_DIVISOR")) {
        const int value = std::atoi(divisor);
        if (value > 0)
            return value;
    }
#if defined(ZKTEST_STRESS_CROSS_BUILD)
    return 4; // run under an emulator (qemu, wine)
#else
    const char* emulator = std::getenv("ZKTEST_EMULATOR");
    return emulator != nullptr && *emulator != '\0' ? 4 : 1;
#endif
}

} // namespace stress

#endif
