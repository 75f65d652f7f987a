// SPDX-License-Identifier: MIT
// The test's command line, joined into one text in which the run driver
// finds its single-letter flags.
#ifndef ZKQE_CMDLINE_H
#define ZKQE_CMDLINE_H

#include "zkqe_export.h"

class ZKQE_API ZKQECommandLineOptions {
public:
    ZKQECommandLineOptions();
    // A copy owns its own joined text.
    ZKQECommandLineOptions(const ZKQECommandLineOptions& other);
    ZKQECommandLineOptions& operator=(const ZKQECommandLineOptions& other);
    ~ZKQECommandLineOptions();

    // The joined line (every word followed by a line feed); null before
    // buildCommandLine.
    const char* cmdLine() const;
    // Joins argv[0] .. argv[argc-1]; replaces any line built before.
    bool buildCommandLine(int argc, char** argv);
    // Finds "-<flag>" anywhere in the joined line and copies the text after it
    // (at most `size` characters; `dst` holds size + 1) up to the next word
    // that begins with '-'. False, with `dst` untouched, when the flag is
    // absent.
    bool getArgumentString(char flag, char* dst, int size);

private:
    char* joinedLine;
};

#endif
