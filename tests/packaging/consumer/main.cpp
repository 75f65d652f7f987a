// Uses the installed zktest library through its public header only: counts
// assertions in the process-wide counter, writes a report line through
// qe_fprintf, reads it back and checks both.
#include "zktest.h"

#include <cstdio>
#include <cstring>

int main() {
    ZKQESingletonAssertionCounter::clearCount();
    ZKQESingletonAssertionCounter::incrCount();
    ZKQESingletonAssertionCounter::incrCount();
    const int count = ZKQESingletonAssertionCounter::getCount();

    FILE* report = qe_fopen("consumer.out", "w");
    if (report == nullptr) {
        std::perror("consumer.out");
        return 2;
    }
    const int written = qe_fprintf(report, "## %d assertions\n", count);
    std::fclose(report);

    char line[64] = {0};
    report = std::fopen("consumer.out", "r");
    if (report == nullptr || std::fgets(line, sizeof line, report) == nullptr) {
        std::perror("consumer.out");
        return 2;
    }
    std::fclose(report);

    if (count != 2 || written != 16 || std::strcmp(line, "## 2 assertions\n") != 0) {
        std::printf("unexpected: count %d, %d bytes written, line \"%s\"\n", count, written, line);
        return 1;
    }
    std::printf("zktest consumer: ok\n");
    return 0;
}
