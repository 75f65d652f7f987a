// SPDX-License-Identifier: MIT
// options_handler: a small table-driven option parser. Options are registered
// with a one-character form, an optional long form, a callback and a context;
// process_opts walks an argument vector, or a string it splits at blanks, and
// calls the callback of every word that names a registered option.
//
// Ownership: the handler owns its record array once it has grown past the
// inline records, and the heap copies of long forms of 4 characters or more.
// No locking: a handler belongs to one thread at a time.
#ifndef ZKOPTIONS_H
#define ZKOPTIONS_H

#include "zkqe_export.h"

// Called with the address of a cursor whose (*cursor)[0] is the option word,
// (*cursor)[1] ... the words after it, ending with a null entry; moving the
// cursor does not affect the parser. The result is kept in the option's
// record.
typedef void* (*OptionCallback)(char*** cursor, void* context);

class ZKQE_API options_handler {
public:
    // One registered option. A record with a null callback is free for the
    // next new option.
    struct option {
        char letter;       // written '-x' for letter x
        char shortName[4]; // holds a long form of fewer than 4 characters
        char* name;        // shortName, a heap copy, or null (no long form)
        OptionCallback callback;
        void* context; // the callback's second argument
        void* result;  // the callback's most recent result
    };

    options_handler();
    // Releases the long-form copies and the grown record array.
    ~options_handler();
    // A copy owns its own record array and long-form copies, so the source
    // and the copy can each be destroyed safely.
    options_handler(const options_handler& other);
    options_handler& operator=(const options_handler& other);

    // Registers an option, or updates in place the one that the letter or
    // the long form already names. Returns its index, or -1 when the record
    // array cannot grow. A letter and a long form of two different options
    // stop the process with an assertion message.
    int set_opt(OptionCallback callback, void* context, char letter, const char* name);

    // Processes argc words (argv[argc] must be null, as callbacks read past
    // the option word); returns how many named a registered option. Words not
    // beginning with '-' are passed over, unknown option words reported on
    // standard error.
    int process_opts(int argc, char** const argv);
    // Splits a copy of str at blanks (double quotes group words and are kept)
    // and processes the words; -1 when working memory cannot be allocated.
    int process_opts(const char* str);

private:
    int get_opt_inx(const char* name);
    const option* get_opt(const char* name);
    // Doubles the record array; false, with nothing changed, when the
    // allocation fails.
    bool grow();

    enum { kInlineOptions = 8 };

    unsigned capacity;
    option inlineOptions[kInlineOptions];
    option* options;
    unsigned count;
};

#endif
