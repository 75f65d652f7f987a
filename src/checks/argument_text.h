// SPDX-License-Identifier: MIT
// The text of a check's arguments, as the preprocessor wrote it, read back
// into its arguments: a failure text that names one argument alone finds
// where it ends here.
#ifndef ZKQE_CHECKS_ARGUMENT_TEXT_H
#define ZKQE_CHECKS_ARGUMENT_TEXT_H

namespace zkqe {

// The first comma of `text` outside brackets and quotes, or null.
const char* topLevelComma(const char* text);

} // namespace zkqe

#endif
