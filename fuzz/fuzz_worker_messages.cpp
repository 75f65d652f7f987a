// SPDX-License-Identifier: MIT
// Fuzzer of the messages a worker sends its parent: a case's finding and
// the framing of the findings pipe.
//
// Checked on every input, besides what the sanitizers see:
//  - numbers and texts read back as written, and a byte short is refused;
//  - a finding made from the input decodes to what was encoded: its place,
//    and its encoding again, read to the payload's last byte;
//  - every shorter piece of that payload is refused, as a message cut short
//    by a worker's death must be;
//  - messages sent whole arrive whole and in order however the pipe splits
//    them, and none is taken before its last byte is in;
//  - the input's own bytes, read as a pipe's, are framed and decoded within
//    their bounds;
//  - the fault handler's message, built in place, is the one workerMessage
//    frames.
#include "cases/worker_messages.h"

#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using zkqe::CaseFinding;

CaseFinding findingFrom(FuzzedDataProvider& data) {
    CaseFinding finding;
    finding.verdict = static_cast<CaseFinding::Verdict>(data.ConsumeIntegralInRange(0, 2));
    finding.assertions = data.ConsumeIntegral<int>();
    finding.failedAssertions = data.ConsumeIntegral<int>();
    finding.result.name = data.ConsumeRandomLengthString(40);
    finding.report = data.ConsumeRandomLengthString(200);
    finding.result.seconds = data.ConsumeIntegral<std::uint32_t>() / 1e6;
    const int failures = data.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < failures; ++i) {
        zkqe::CaseFailure failure;
        failure.file = data.ConsumeRandomLengthString(20);
        failure.line = data.ConsumeIntegral<int>();
        failure.text = data.ConsumeRandomLengthString(60);
        failure.section = data.ConsumeRandomLengthString(20);
        failure.kind = static_cast<zkqe::FailureKind>(data.ConsumeIntegralInRange(0, 4));
        finding.result.failures.push_back(std::move(failure));
    }
    finding.result.skipped = data.ConsumeBool();
    finding.result.skipReason = data.ConsumeRandomLengthString(30);
    finding.result.skipFile = data.ConsumeRandomLengthString(20);
    finding.result.skipLine = data.ConsumeIntegral<int>();
    return finding;
}

// Numbers, wide numbers and texts in any order read back as written, to
// the last byte; cut short, the read that runs out is refused, and with
// it every read after it.
void checkReader(FuzzedDataProvider& data) {
    struct Item {
        int kind;
        std::uint64_t number;
        std::string text;
    };
    std::vector<Item> items;
    std::string bytes;
    const int count = data.ConsumeIntegralInRange(0, 5);
    for (int i = 0; i < count; ++i) {
        Item item{data.ConsumeIntegralInRange(0, 2), data.ConsumeIntegral<std::uint64_t>(), ""};
        if (item.kind == 0)
            zkqe::putNumber(bytes, static_cast<std::uint32_t>(item.number));
        else if (item.kind == 1)
            zkqe::putWide(bytes, item.number);
        else
            zkqe::putText(bytes, item.text = data.ConsumeRandomLengthString(20));
        items.push_back(std::move(item));
    }
    const std::size_t anyCut = data.ConsumeIntegralInRange<std::size_t>(0, bytes.size());
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, anyCut}) {
        if (cut > bytes.size())
            continue;
        zkqe::MessageReader in{bytes.data(), bytes.data() + bytes.size() - cut};
        for (const Item& item : items) {
            const bool refusedBefore = !in.ok;
            bool same, empty;
            if (item.kind == 0) {
                const std::uint32_t value = in.number();
                same = value == static_cast<std::uint32_t>(item.number), empty = value == 0;
            } else if (item.kind == 1) {
                const std::uint64_t value = in.wide();
                same = value == item.number, empty = value == 0;
            } else {
                const std::string value = in.text();
                same = value == item.text, empty = value.empty();
            }
            // What was read whole is right; after a refusal, nothing is read.
            FUZZ_CHECK(same || !in.ok);
            FUZZ_CHECK(empty || !refusedBefore);
        }
        FUZZ_CHECK(in.ok == (cut == 0));
        FUZZ_CHECK(in.at == in.end || cut != 0);
    }
}

void checkFinding(FuzzedDataProvider& data) {
    const std::size_t position = data.ConsumeIntegral<std::uint32_t>();
    const CaseFinding sent = findingFrom(data);
    const std::string payload = zkqe::encodeFinding(position, sent);

    zkqe::MessageReader in{payload.data(), payload.data() + payload.size()};
    std::size_t place = 0;
    CaseFinding got;
    FUZZ_CHECK(zkqe::decodeFinding(in, place, got));
    FUZZ_CHECK(in.at == payload.data() + payload.size());
    FUZZ_CHECK(place == position);
    FUZZ_CHECK(got.result.name == sent.result.name && got.report == sent.report);
    FUZZ_CHECK(zkqe::encodeFinding(place, got) == payload);

    for (std::size_t size = 0; size < payload.size(); ++size) {
        zkqe::MessageReader cut{payload.data(), payload.data() + size};
        CaseFinding partial;
        FUZZ_CHECK(!zkqe::decodeFinding(cut, place, partial));
    }
}

void checkFraming(FuzzedDataProvider& data) {
    std::vector<std::pair<char, std::string>> sent;
    std::string pipe;
    const int messages = data.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < messages; ++i) {
        const char type = data.ConsumeIntegral<char>();
        std::string payload = data.ConsumeRandomLengthString(300);
        pipe += zkqe::workerMessage(type, payload);
        sent.emplace_back(type, std::move(payload));
    }
    // The parent's inbox: bytes arrive in pieces, whole messages leave it.
    std::string inbox;
    std::size_t read = 0, taken = 0;
    while (read < pipe.size()) {
        const std::size_t piece = data.ConsumeIntegralInRange<std::size_t>(1, pipe.size() - read);
        inbox.append(pipe, read, piece);
        read += piece;
        const char* at = inbox.data();
        char type = 0;
        zkqe::MessageReader payload{nullptr, nullptr};
        while (zkqe::takeMessage(at, inbox.data() + inbox.size(), type, payload)) {
            FUZZ_CHECK(taken < sent.size());
            FUZZ_CHECK(type == sent[taken].first);
            FUZZ_CHECK(std::string(payload.at, payload.end) == sent[taken].second);
            ++taken;
        }
        inbox.erase(0, static_cast<std::size_t>(at - inbox.data()));
        // Nothing whole is held back.
        if (taken < sent.size())
            FUZZ_CHECK(inbox.size() < zkqe::kMessageHeader + sent[taken].second.size());
        else
            FUZZ_CHECK(inbox.empty());
    }
    FUZZ_CHECK(taken == sent.size() && inbox.empty());
}

void checkRawBytes(const std::string& bytes) {
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    char type = 0;
    zkqe::MessageReader payload{nullptr, nullptr};
    while (zkqe::takeMessage(at, end, type, payload)) {
        FUZZ_CHECK(payload.at >= bytes.data() && payload.end <= at);
        std::size_t place = 0;
        CaseFinding finding;
        if (zkqe::decodeFinding(payload, place, finding))
            FUZZ_CHECK(payload.at <= payload.end);
    }
    FUZZ_CHECK(at <= end);
}

void checkFaultMessage(std::uint32_t code) {
    char bytes[zkqe::kFaultMessageSize];
    zkqe::faultMessage(bytes, code);
    std::string number;
    zkqe::putNumber(number, code);
    FUZZ_CHECK(std::string(bytes, sizeof bytes) == zkqe::workerMessage('C', number));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t count) {
    const std::string raw(reinterpret_cast<const char*>(bytes), count);
    FuzzedDataProvider data(bytes, count);
    checkReader(data);
    checkFinding(data);
    checkFraming(data);
    checkRawBytes(raw);
    checkFaultMessage(FuzzedDataProvider(bytes, count).ConsumeIntegral<std::uint32_t>());
    return 0;
}
