// SPDX-License-Identifier: MIT
// The three process-wide mutexes, constructed when the library loads (in the
// order status file, assertion count, failed count) and destroyed at exit in
// the reverse order. A use after destruction initialises the mutex again.
#ifndef ZKQE_LOCKS_PROCESS_MUTEXES_H
#define ZKQE_LOCKS_PROCESS_MUTEXES_H

#include "zkqe_mutex.h"

namespace zkqe {

extern ZKQEMutex statusFileMutex;
extern ZKQEMutex assertionCountMutex;
extern ZKQEMutex failedCountMutex;

} // namespace zkqe

#endif
