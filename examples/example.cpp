// A minimal zktest program: it creates its status file beside its report,
// writes one line into the report and ends in order, so the status file
// reads "0" afterwards.
#include "zktest.h"

#include <cstdio>

int main() {
    ZKQESingletonFileObject::getZKQESingletonFileObject(nullptr, "example.out");
    FILE* report = qe_fopen("example.out", "w");
    if (report == nullptr)
        return 1;
    qe_fprintf(report, "## zktest example: %d assertions so far\n",
               ZKQESingletonAssertionCounter::getCount());
    std::fclose(report);
    return 0;
}
