// SPDX-License-Identifier: MIT
// Cases in worker processes (see case_pool.h).
//
// The pipes carry messages of a type byte, a 32-bit length and that many
// bytes: 'S' when a worker starts a case (the case's place in the run and
// where its report lines start in the capture file), 'E' with everything the
// case found, and 'C' from the worker's fault handler with the fault's code.
// The parent learns of any other end of a worker from the end of its pipe.
#include "cases/case_pool.h"

#include "driver/safety_nets.h"
#include "platform/platform.h"
#include "platform/worker_process.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <vector>

namespace zkqe {

namespace {

// ---- messages ---------------------------------------------------------------

void putNumber(std::string& out, std::uint32_t number) {
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((number >> shift) & 0xFF);
}

void putText(std::string& out, const std::string& text) {
    putNumber(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

// Reads what put* wrote; a short message leaves `ok` false.
struct MessageReader {
    const char* at;
    const char* end;
    bool ok = true;

    std::uint32_t number() {
        if (end - at < 4) {
            ok = false;
            return 0;
        }
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(at[i])) << (8 * i);
        at += 4;
        return value;
    }
    std::string text() {
        const std::uint32_t size = number();
        if (!ok || static_cast<std::uint32_t>(end - at) < size) {
            ok = false;
            return "";
        }
        std::string value(at, size);
        at += size;
        return value;
    }
};

std::string message(char type, const std::string& payload) {
    std::string out(1, type);
    putNumber(out, static_cast<std::uint32_t>(payload.size()));
    return out + payload;
}

std::string encodeFinding(std::size_t position, const CaseFinding& finding) {
    std::string out;
    const CaseResult& result = finding.result;
    putNumber(out, static_cast<std::uint32_t>(position));
    putNumber(out, static_cast<std::uint32_t>(finding.verdict));
    putNumber(out, static_cast<std::uint32_t>(finding.assertions));
    putNumber(out, static_cast<std::uint32_t>(finding.failedAssertions));
    putText(out, finding.report);
    // Microseconds: a case's time needs no more, and an integer crosses the
    // pipe the same on every platform.
    putNumber(out, static_cast<std::uint32_t>(result.seconds * 1e6));
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
    return out;
}

bool decodeFinding(MessageReader& in, std::size_t* position, CaseFinding& finding) {
    CaseResult& result = finding.result;
    *position = in.number();
    finding.verdict = static_cast<CaseFinding::Verdict>(in.number());
    finding.assertions = static_cast<int>(in.number());
    finding.failedAssertions = static_cast<int>(in.number());
    finding.report = in.text();
    result.seconds = in.number() / 1e6;
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
    return in.ok;
}

// The text of `path` from `offset` (in bytes) to its end. Read as text:
// the report it joins is written as text, so Windows' line ends are not
// doubled.
std::string readFrom(const std::string& path, std::uint64_t offset) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "r")) {
        if (std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0) {
            char buffer[8192];
            std::size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
                bytes.append(buffer, got);
        }
        std::fclose(file);
    }
    return bytes;
}

std::uint64_t sizeOf(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::uint64_t>(size);
}

// ---- the worker ---------------------------------------------------------------

struct WorkerStart {
    CasePoolClient* client;
    std::string capture;
};

// The worker's end of the findings pipe, for its fault handler.
int workerFindings = -1;

// Signal-safe: a message built on the stack, one write.
void tellFault(unsigned long code, const void* pc) {
    char bytes[9] = {'C', 4, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
        bytes[5 + i] = static_cast<char>((code >> (8 * i)) & 0xFF);
    platform::writeAll(workerFindings, bytes, sizeof bytes);
    reportUnhandledException(code, pc);
}

bool readExactly(int fd, void* data, std::size_t size) {
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        const long got = platform::readSome(fd, bytes, size);
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

int serveCases(int tasks, int findings, void* context) {
    const WorkerStart& start = *static_cast<WorkerStart*>(context);
    workerFindings = findings;
    start.client->becomeWorker(start.capture);
    platform::installFaultHook(tellFault);
    std::uint32_t position;
    while (readExactly(tasks, &position, sizeof position)) {
        const std::uint64_t offset = sizeOf(start.capture);
        std::string started;
        putNumber(started, position);
        putNumber(started, static_cast<std::uint32_t>(offset));
        putNumber(started, static_cast<std::uint32_t>(offset >> 32));
        if (!platform::writeAll(findings, message('S', started).data(), started.size() + 5))
            return 1;
        CaseFinding finding = start.client->runInWorker(position);
        std::fflush(nullptr);
        finding.report = readFrom(start.capture, offset);
        const std::string ended = message('E', encodeFinding(position, finding));
        if (!platform::writeAll(findings, ended.data(), ended.size()))
            return 1;
    }
    std::fflush(nullptr);
    return 0;
}

// ---- the parent ---------------------------------------------------------------

// Every live worker, for the alarm's handler.
constexpr std::size_t kMostWorkers = 256;
std::atomic<std::intptr_t> liveWorkers[kMostWorkers];

using Clock = std::chrono::steady_clock;

struct Slot {
    platform::WorkerProcess process;
    std::string capture;
    bool busy = false;
    bool ranOne = false;
    std::size_t position = 0;
    std::uint64_t offset = 0;
    unsigned long fault = 0;
    Clock::time_point started;
    std::string inbox;
};

class Pool {
public:
    Pool(CasePoolClient& client, std::size_t count, const PoolSettings& settings)
        : client_(client), count_(count), settings_(settings),
          slots_(std::min<std::size_t>(std::max(settings.jobs, 1u), kMostWorkers)),
          attempts_(count, 0) {}

    ~Pool() {
        for (std::size_t i = 0; i < slots_.size(); ++i)
            stop(i, true);
        platform::reapReleased(true);
    }

    bool run() {
        while (nextTaken_ < count_) {
            if (!dispatch())
                return false;
            collect();
            takeInOrder();
        }
        for (std::size_t i = 0; i < slots_.size(); ++i)
            stop(i, false);
        return true;
    }

private:
    bool workWaiting() const { return !redo_.empty() || nextFresh_ < count_; }

    // Hands each idle worker a case, starting workers as needed. False when
    // the first worker could not be started.
    bool dispatch() {
        for (std::size_t i = 0; i < slots_.size() && workWaiting(); ++i) {
            Slot& slot = slots_[i];
            if (slot.busy)
                continue;
            if (slot.process.process != 0 && settings_.isolate && slot.ranOne) {
                // Its end is nobody's wait: the next worker starts at once.
                liveWorkers[i].store(0);
                platform::releaseWorker(slot.process);
                platform::reapReleased(false);
            }
            if (slot.process.process == 0 && !start(i)) {
                if (!anyStarted_)
                    return false;
                if (!anyAlive())
                    throw std::runtime_error("no worker process could be started");
                continue;
            }
            std::size_t position;
            if (!redo_.empty()) {
                position = redo_.front();
                redo_.pop_front();
            } else {
                position = nextFresh_++;
            }
            const std::uint32_t task = static_cast<std::uint32_t>(position);
            slot.busy = slot.ranOne = true;
            slot.position = position;
            // Where its lines will start, should it end before it says.
            slot.offset = sizeOf(slot.capture);
            slot.fault = 0;
            slot.started = Clock::now();
            if (!platform::writeAll(slot.process.tasks, &task, sizeof task))
                died(i, false);
        }
        return true;
    }

    bool start(std::size_t i) {
        Slot& slot = slots_[i];
        slot = Slot();
        // One capture file a slot, its workers' lines one after another:
        // each case's start is where the file ends when it starts.
        slot.capture = settings_.folder + "/worker-" + std::to_string(i) + ".out";
        WorkerStart context{&client_, slot.capture};
        std::vector<std::string> relaunch = settings_.relaunch;
        relaunch.push_back("-O");
        relaunch.push_back(slot.capture);
        if (!platform::startWorker(slot.process, serveCases, &context, relaunch))
            return false;
        anyStarted_ = true;
        liveWorkers[i].store(slot.process.process);
        return true;
    }

    bool anyAlive() const {
        for (const Slot& slot : slots_)
            if (slot.process.process != 0)
                return true;
        return false;
    }

    platform::WorkerEnd stop(std::size_t i, bool kill) {
        Slot& slot = slots_[i];
        liveWorkers[i].store(0);
        return platform::endWorker(slot.process, kill);
    }

    // Reads what is ready, waiting at most until the nearest timeout.
    void collect() {
        std::vector<int> fds;
        std::vector<std::size_t> owners;
        int wait = -1;
        const Clock::time_point now = Clock::now();
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            const Slot& slot = slots_[i];
            if (slot.process.process == 0)
                continue;
            fds.push_back(slot.process.findings);
            owners.push_back(i);
            if (slot.busy && settings_.timeoutSeconds != 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    slot.started + std::chrono::seconds(settings_.timeoutSeconds) - now);
                const int ms = static_cast<int>(std::max<long long>(left.count(), 0)) + 1;
                wait = wait < 0 ? ms : std::min(wait, ms);
            }
        }
        const int ready = platform::waitForReadable(fds.data(), fds.size(), wait);
        if (ready >= 0)
            readPipe(owners[static_cast<std::size_t>(ready)]);
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            const Slot& slot = slots_[i];
            if (slot.busy && settings_.timeoutSeconds != 0 &&
                Clock::now() - slot.started >= std::chrono::seconds(settings_.timeoutSeconds))
                died(i, true);
        }
    }

    void readPipe(std::size_t i) {
        Slot& slot = slots_[i];
        char buffer[65536];
        const long got = platform::readSome(slot.process.findings, buffer, sizeof buffer);
        if (got <= 0) {
            died(i, false);
            return;
        }
        slot.inbox.append(buffer, static_cast<std::size_t>(got));
        while (slot.inbox.size() >= 5) {
            MessageReader header{slot.inbox.data() + 1, slot.inbox.data() + 5};
            const std::uint32_t size = header.number();
            if (slot.inbox.size() < 5 + std::size_t{size})
                break;
            MessageReader in{slot.inbox.data() + 5, slot.inbox.data() + 5 + size};
            const char type = slot.inbox[0];
            if (type == 'S') {
                in.number();
                slot.offset = in.number();
                slot.offset |= std::uint64_t{in.number()} << 32;
            } else if (type == 'C') {
                slot.fault = in.number();
            } else if (type == 'E') {
                std::size_t position;
                CaseFinding finding;
                if (decodeFinding(in, &position, finding) && slot.busy &&
                    position == slot.position) {
                    finding.attempt = attempts_[position];
                    pending_[position] = std::move(finding);
                    slot.busy = false;
                }
            }
            slot.inbox.erase(0, 5 + std::size_t{size});
        }
    }

    // The worker ended, or is ended for its timeout: its case, if it had
    // one, failed with what the worker wrote of it.
    void died(std::size_t i, bool timedOut) {
        Slot& slot = slots_[i];
        const bool busy = slot.busy;
        const std::size_t position = slot.position;
        const std::uint64_t offset = slot.offset;
        const unsigned long fault = slot.fault;
        const Clock::time_point started = slot.started;
        CaseFinding finding;
        if (busy)
            finding.report = zkqe::readFrom(slot.capture, offset);
        const platform::WorkerEnd end = stop(i, timedOut);
        slot.busy = false;
        if (!busy)
            return;
        finding.verdict = CaseFinding::Verdict::failed;
        finding.attempt = attempts_[position];
        finding.result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
        finding.deathKind = timedOut ? FailureKind::timeout : FailureKind::crash;
        finding.death =
            timedOut ? "timeout: alarm after " + std::to_string(settings_.timeoutSeconds) + " s"
                     : describe(end, fault);
        pending_[position] = std::move(finding);
    }

    static std::string describe(const platform::WorkerEnd& end, unsigned long fault) {
        char code[24];
        if (fault == 0)
            fault = end.fault;
        if (fault != 0) {
            std::snprintf(code, sizeof code, "%08lX", fault);
            return std::string("crash: ") + exceptionName(fault) + " (code 0x" + code + ")";
        }
        if (end.aborted)
            return "crash: abort";
        if (end.exited)
            return "exit(" + std::to_string(end.status) + ") before the case ended";
        return "crash: signal " + std::to_string(end.signal);
    }

    void takeInOrder() {
        for (auto found = pending_.find(nextTaken_); found != pending_.end();
             found = pending_.find(nextTaken_)) {
            CaseFinding finding = std::move(found->second);
            pending_.erase(found);
            if (client_.takeFinding(nextTaken_, finding)) {
                ++nextTaken_;
            } else {
                ++attempts_[nextTaken_];
                redo_.push_front(nextTaken_);
            }
        }
    }

    CasePoolClient& client_;
    std::size_t count_;
    PoolSettings settings_;
    std::vector<Slot> slots_;
    std::vector<unsigned> attempts_;
    std::map<std::size_t, CaseFinding> pending_;
    std::deque<std::size_t> redo_;
    std::size_t nextFresh_ = 0;
    std::size_t nextTaken_ = 0;
    bool anyStarted_ = false;
};

} // namespace

bool runInWorkers(CasePoolClient& client, std::size_t count, const PoolSettings& settings) {
    Pool pool(client, count, settings);
    return pool.run();
}

int serveTasks(CasePoolClient& client, int tasks, int findings, const std::string& capture) {
    WorkerStart start{&client, capture};
    return serveCases(tasks, findings, &start);
}

void killWorkersFromHandler() {
    for (std::atomic<std::intptr_t>& worker : liveWorkers)
        platform::killFromHandler(worker.load());
}

} // namespace zkqe
