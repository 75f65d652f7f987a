// SPDX-License-Identifier: MIT
// The string helpers every stored string of the test object goes through:
// the report writers, tag setters and the driver all replace fields with
// them, so they sit in the lowest layer that holds the object's code.
//
// Ownership: a field is null or a malloc'ed copy owned by the object.
#include "zkqe_test.h"

#include "diagnostics/diagnostics.h"

#include <cstdlib>
#include <cstring>

char* ZKQETest::allocateAndCopyString_(const char* text) {
    if (text == nullptr)
        return nullptr;
    const std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (copy == nullptr)
        zkqe::outOfMemory();
    std::memcpy(copy, text, size);
    return copy;
}

void ZKQETest::replaceString_(char*& field, const char* text) {
    // Copy first: `text` may be the field's own value.
    char* copy = allocateAndCopyString_(text);
    std::free(field);
    field = copy;
}
