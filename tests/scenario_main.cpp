// SPDX-License-Identifier: MIT
// The entry point of every scenario program: runs the scenario that argv[1]
// names and exits with its result.
#include "scenario.h"

#include <cstdio>
#include <cstring>

namespace {

struct Entry {
    const char* name;
    scenario::Body body;
};

// Registrars run during static initialisation, before main; a fixed table
// needs no constructor of its own that could run after them.
Entry registry[64];
int registered = 0;

} // namespace

scenario::Registrar::Registrar(const char* name, Body body) {
    if (registered < 64)
        registry[registered++] = {name, body};
}

int main(int argc, char** argv) {
    scenario::limitFileSize();
    for (int i = 0; argc > 1 && i < registered; ++i)
        if (std::strcmp(registry[i].name, argv[1]) == 0)
            return registry[i].body(argc, argv);
    std::fprintf(stderr, "no scenario named %s\n", argc > 1 ? argv[1] : "(none)");
    return 99;
}
