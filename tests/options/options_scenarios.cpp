// SPDX-License-Identifier: MIT
// Handlers copied and assigned: each copy holds its own registrations (long
// forms of every length), so all can be destroyed, in any order.
#include "scenario.h"

#include <cstdio>
#include <string>

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
    assigned.set_opt(say, const_cast<char*>("replaced"), 'y', "a-long-form-replaced-too");
    assigned = copy;
    delete original;
    std::printf("copy matched %d\n", copy.process_opts("-a --ab -j -z"));
    std::printf("assigned matched %d\n", assigned.process_opts("--long-form -z"));
    return 0;
}

// Each misuse of a handler stops the program with the line its users know.
SCENARIO(misuse) {
    const std::string which = argc > 2 ? argv[2] : "";
    options_handler handler;
    handler.set_opt(say, nullptr, 'a', "alpha");
    handler.set_opt(say, nullptr, 'b', "beta");
    char* noWord[] = {nullptr};
    if (which == "name")
        handler.process_opts(1, noWord);
    else if (which == "index")
        handler.set_opt(say, nullptr, 'a', "beta"); // "beta" is b's
    else if (which == "count")
        handler.process_opts(-1, argv);
    else
        handler.process_opts(nullptr);
    return 0;
}
