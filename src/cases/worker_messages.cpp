// SPDX-License-Identifier: MIT
// Messages on the findings pipe (see worker_messages.h).
#include "cases/worker_messages.h"

#include <cmath>
#include <utility>

namespace zkqe {

namespace {
void storeNumber(char* at, std::uint32_t number) {
    for (std::size_t i = 0; i < kNumberSize; ++i)
        at[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
}
} // namespace

void putNumber(std::string& out, std::uint32_t number) {
    char bytes[kNumberSize];
    storeNumber(bytes, number);
    out.append(bytes, sizeof bytes);
}

void putWide(std::string& out, std::uint64_t number) {
    putNumber(out, static_cast<std::uint32_t>(number));
    putNumber(out, static_cast<std::uint32_t>(number >> 32));
}

void putText(std::string& out, const std::string& text) {
    putNumber(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

std::uint32_t MessageReader::number() {
    if (!ok || end - at < static_cast<std::ptrdiff_t>(kNumberSize)) {
        ok = false;
        return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < kNumberSize; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(at[i])) << (8 * i);
    at += kNumberSize;
    return value;
}

std::uint64_t MessageReader::wide() {
    const std::uint64_t low = number();
    return low | std::uint64_t{number()} << 32;
}

std::string MessageReader::text() {
    const std::uint32_t size = number();
    if (static_cast<std::size_t>(end - at) < size) { // a refused size is 0
        ok = false;
        return "";
    }
    std::string value(at, size);
    at += size;
    return value;
}

std::string workerMessage(char type, const std::string& payload) {
    std::string out(1, type);
    putNumber(out, static_cast<std::uint32_t>(payload.size()));
    return out + payload;
}

void faultMessage(char (&bytes)[kFaultMessageSize], std::uint32_t code) {
    bytes[0] = 'C';
    storeNumber(bytes + 1, kNumberSize);
    storeNumber(bytes + kMessageHeader, code);
}

bool takeMessage(const char*& at, const char* end, char& type, MessageReader& payload) {
    if (end - at < static_cast<std::ptrdiff_t>(kMessageHeader))
        return false;
    MessageReader header{at + 1, end};
    const std::uint32_t size = header.number();
    if (static_cast<std::size_t>(end - header.at) < size)
        return false;
    type = *at;
    payload = MessageReader{header.at, header.at + size};
    at = header.at + size;
    return true;
}

std::string encodeFinding(std::size_t position, const CaseFinding& finding) {
    std::string out;
    const CaseResult& result = finding.result;
    putNumber(out, static_cast<std::uint32_t>(position));
    putNumber(out, static_cast<std::uint32_t>(finding.verdict));
    putNumber(out, static_cast<std::uint32_t>(finding.assertions));
    putNumber(out, static_cast<std::uint32_t>(finding.failedAssertions));
    putText(out, result.name);
    putText(out, finding.report);
    putWide(out, static_cast<std::uint64_t>(std::llround(result.seconds * 1e6)));
    putNumber(out, static_cast<std::uint32_t>(result.failures.size()));
    for (const CaseFailure& failure : result.failures) {
        putText(out, failure.file);
        putNumber(out, static_cast<std::uint32_t>(failure.line));
        putText(out, failure.text);
        putText(out, failure.section);
        putNumber(out, static_cast<std::uint32_t>(failure.kind));
    }
    putNumber(out, result.skipped ? 1 : 0);
    putText(out, result.skipReason);
    putText(out, result.skipFile);
    putNumber(out, static_cast<std::uint32_t>(result.skipLine));
    return out;
}

bool decodeFinding(MessageReader& in, std::size_t& position, CaseFinding& finding) {
    CaseResult& result = finding.result;
    position = in.number();
    finding.verdict = static_cast<CaseFinding::Verdict>(in.number());
    finding.assertions = static_cast<int>(in.number());
    finding.failedAssertions = static_cast<int>(in.number());
    result.name = in.text();
    finding.report = in.text();
    result.seconds = static_cast<double>(in.wide()) / 1e6;
    const std::uint32_t failures = in.number();
    for (std::uint32_t i = 0; i < failures && in.ok; ++i) {
        CaseFailure failure;
        failure.file = in.text();
        failure.line = static_cast<int>(in.number());
        failure.text = in.text();
        failure.section = in.text();
        failure.kind = static_cast<FailureKind>(in.number());
        result.failures.push_back(std::move(failure));
    }
    result.skipped = in.number() != 0;
    result.skipReason = in.text();
    result.skipFile = in.text();
    result.skipLine = static_cast<int>(in.number());
    return in.ok;
}

} // namespace zkqe
