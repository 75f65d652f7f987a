// SPDX-License-Identifier: MIT
// Handlers and joined command lines copied and assigned: each copy holds its
// own registrations (long forms of every length) or its own line, so all can
// be destroyed, in any order.
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
    // Past the inline records, and grown twice; "ab" is kept inside its record.
    for (char letter = 'a'; letter <= 'r'; ++letter) {
        const std::string name = letter == 'a' ? "ab" : std::string("long-form-") + letter;
        original->set_opt(say, const_cast<char*>("original"), letter, name.c_str());
    }
    options_handler copy(*original);
    options_handler assigned;
    assigned.set_opt(say, const_cast<char*>("replaced"), 'z', "zzzz");
    assigned.set_opt(say, const_cast<char*>("replaced"), 'y', "a-long-form-replaced-too");
    assigned = copy;
    delete original;
    std::printf("copy matched %d\n", copy.process_opts("-a --ab -j -z"));
    // Registered again under both its forms, an option keeps its record and
    // takes the new callback.
    assigned.set_opt(say, const_cast<char*>("registered again"), 'j', "long-form-j");
    std::printf("assigned matched %d\n", assigned.process_opts("--long-form-r -z --long-form-j"));
    return 0;
}

// A command line assigned over another releases the one it held, and every
// copy outlives its source.
SCENARIO(line_copies) {
    char program[] = "prog", directory[] = "-Dout", machine[] = "-Mbox";
    char* words[] = {program, directory};
    char* otherWords[] = {program, machine};
    auto* original = new ZKQECommandLineOptions;
    original->buildCommandLine(2, words);
    ZKQECommandLineOptions copy(*original);
    ZKQECommandLineOptions assigned;
    assigned.buildCommandLine(2, otherWords);
    assigned = *original;
    delete original;
    char inCopy[16] = "", inAssigned[16] = "";
    const bool copied = copy.getArgumentString('D', inCopy, sizeof inCopy);
    const bool assignedToo = assigned.getArgumentString('D', inAssigned, sizeof inAssigned);
    std::printf("copy: %d %s; assigned: %d %s, its old -M %d\n", copied, inCopy, assignedToo,
                inAssigned, assigned.getArgumentString('M', inAssigned, sizeof inAssigned));
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
