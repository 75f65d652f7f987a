// SPDX-License-Identifier: MIT
// Handlers copied and assigned: each copy holds its own registrations (long
// forms of every length), so all can be destroyed, in any order.
#include "scenario.h"

#include <cstdio>

namespace {

void* say(char*** cursor, void* context) {
    std::printf("%s: %s\n", static_cast<const char*>(context), **cursor);
    return context;
}

} // namespace

SCENARIO(copies) {
    auto* original = new options_handler;
    for (char letter = 'a'; letter <= 'j'; ++letter) // past the inline records
        original->set_opt(say, const_cast<char*>("original"), letter,
                          letter == 'a' ? "ab" : "long-form");
    options_handler copy(*original);
    options_handler assigned;
    assigned.set_opt(say, const_cast<char*>("replaced"), 'z', "zzzz");
    assigned = copy;
    delete original;
    std::printf("copy matched %d\n", copy.process_opts("-a --ab -j -z"));
    std::printf("assigned matched %d\n", assigned.process_opts("--long-form -z"));
    return 0;
}
