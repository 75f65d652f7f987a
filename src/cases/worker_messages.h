// SPDX-License-Identifier: MIT
// What a worker tells its parent on the findings pipe: messages of a type
// byte, a 32-bit length and that many bytes. Numbers are little-endian
// whatever the machine; a text is its length and its bytes. A reader that
// runs short of bytes says so and gives zeros and empty texts from then on,
// so a message cut short by a worker's death is never taken for a whole one.
#ifndef ZKQE_CASES_WORKER_MESSAGES_H
#define ZKQE_CASES_WORKER_MESSAGES_H

#include "cases/case_pool.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace zkqe {

constexpr std::size_t kNumberSize = sizeof(std::uint32_t);
constexpr std::size_t kMessageHeader = 1 + kNumberSize; // the type byte and the length
constexpr std::size_t kFaultMessageSize = kMessageHeader + kNumberSize;

void putNumber(std::string& out, std::uint32_t number);
void putWide(std::string& out, std::uint64_t number);
void putText(std::string& out, const std::string& text);

struct MessageReader {
    const char* at;
    const char* end;
    bool ok = true;

    std::uint32_t number();
    std::uint64_t wide();
    std::string text();
};

std::string workerMessage(char type, const std::string& payload);
// The 'C' message with a fault's code, built in place: the fault handler
// that sends it may not allocate.
void faultMessage(char (&bytes)[kFaultMessageSize], std::uint32_t code);
// The whole message at the start of [at, end): its type and its payload,
// `at` moved past it. False, nothing moved, while its bytes are not all in.
bool takeMessage(const char*& at, const char* end, char& type, MessageReader& payload);

// What a case found, and the case's place in the run. The time crosses as
// whole microseconds, the same on every platform.
std::string encodeFinding(std::size_t position, const CaseFinding& finding);
// False when the message was cut short.
bool decodeFinding(MessageReader& in, std::size_t& position, CaseFinding& finding);

} // namespace zkqe

#endif
