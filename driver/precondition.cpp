// Reports a failed programming-error check and aborts. Standard error is
// flushed first because abort() does not flush stdio buffers.
#include "driver/precondition.h"

#include <cstdio>
#include <cstdlib>

namespace zkqe {

void preconditionFailed(const char* text, const char* source, int line) {
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", text, source, line);
    std::fflush(stderr);
    std::abort();
}

} // namespace zkqe
