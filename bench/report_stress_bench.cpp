// SPDX-License-Identifier: MIT
// The strict checker's long runs (tests/reports/report_stress.h): 2, 4 and 8
// writer threads, the report kept in one file and moved between three, with
// streams of the threads' own on the report's file too. Prints the figures
// of each run; fails when any piece is missing, torn, repeated or out of
// order, or the summary's counts are not exact. The first argument, when
// given, is the number of pieces each thread writes.
#include "report_stress.h"

#include <cstdlib>

int main(int argc, char** argv) {
    const int pieces = argc > 1 ? std::atoi(argv[1]) : 20000;
    bool clean = true;
    for (int threads : {2, 4, 8})
        for (int way = 0; way < 3; ++way) {
            const bool switching = way > 0;
            const bool own = way == 2;
            const stress::Figures figures = stress::run(threads, pieces, switching, own);
            stress::print(figures, threads, switching);
            if (own)
                std::printf("  (with streams of their own)\n");
            clean = clean && stress::clean(figures);
        }
    return clean ? 0 : 1;
}
