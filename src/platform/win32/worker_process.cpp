// SPDX-License-Identifier: MIT
// Windows has no copy of a running process: workers would be the program
// started again with its cases named. Until then none starts, and the
// runner runs the cases in its own process.
#include "platform/worker_process.h"

#include <io.h>
#include <windows.h>

namespace zkqe {
namespace platform {

bool startWorker(WorkerProcess&, WorkerBody, void*) {
    return false;
}

WorkerEnd endWorker(WorkerProcess& worker, bool) {
    worker = WorkerProcess();
    return WorkerEnd();
}

void killFromHandler(std::intptr_t) {}

int waitForReadable(const int*, std::size_t, int) {
    return -1;
}

long readSome(int fd, void* buffer, std::size_t size) {
    return _read(fd, buffer, static_cast<unsigned>(size));
}

bool writeAll(int fd, const void* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(size)) == static_cast<int>(size);
}

unsigned usableCores() {
    DWORD_PTR process = 0, system = 0;
    unsigned count = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        for (; process != 0; process &= process - 1)
            ++count;
    return count != 0 ? count : 1;
}

} // namespace platform
} // namespace zkqe
