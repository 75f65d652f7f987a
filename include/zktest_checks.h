// SPDX-License-Identifier: MIT
// placeholder until the checks branch lands
#ifndef ZKTEST_CHECKS_H
#define ZKTEST_CHECKS_H
#include "zkqe_check.h"
namespace zkqe {
struct RequireAbort {};
}
#endif
