// SPDX-License-Identifier: MIT
// Cases in worker processes (see case_pool.h).
//
// A worker's messages (framed as worker_messages.h says): 'S' when it
// starts a case (the case's place in the run and where its report lines
// start in the capture file), 'E' with everything the case found, and 'C'
// from its fault handler with the fault's code, built there by hand. A
// worker that runs each case in a copy of itself sends 'D' when a copy ends
// before its case does. The parent learns of any other end of a worker from
// the end of its pipe.
#include "cases/case_pool.h"

#include "cases/worker_messages.h"

#include "driver/safety_nets.h"
#include "platform/platform.h"
#include "platform/worker_process.h"
#include "reports/report_files.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

namespace zkqe {

namespace {

// A capture file read as text, the way the report it joins is written, so
// Windows' line ends are not doubled; places in it are byte offsets.
class CaptureReader {
public:
    explicit CaptureReader(const std::string& path) : file_(std::fopen(path.c_str(), "r")) {}
    ~CaptureReader() {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    CaptureReader(const CaptureReader&) = delete;
    CaptureReader& operator=(const CaptureReader&) = delete;

    // Skips to the file's end, which becomes end().
    void skipToEnd() {
        if (file_ != nullptr && std::fseek(file_, 0, SEEK_END) == 0) {
            const long end = std::ftell(file_);
            end_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
        }
    }
    // The text from `offset` to the file's end, which becomes end(); at
    // most `most` bytes.
    std::string readFrom(std::uint64_t offset, std::uint64_t most = UINT64_MAX) {
        std::string text;
        if (file_ == nullptr || std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
            return text;
        char buffer[8192];
        std::size_t got;
        while (most != 0 && (got = std::fread(buffer, 1,
                                              static_cast<std::size_t>(
                                                  std::min<std::uint64_t>(sizeof buffer, most)),
                                              file_)) > 0) {
            text.append(buffer, got);
            most -= got;
        }
        const long end = std::ftell(file_);
        end_ = end > 0 ? static_cast<std::uint64_t>(end) : offset;
        return text;
    }
    // Where the last read ended.
    std::uint64_t end() const { return end_; }

private:
    std::FILE* file_;
    std::uint64_t end_ = 0;
};

std::string readFrom(const std::string& path, std::uint64_t offset,
                     std::uint64_t most = UINT64_MAX) {
    CaptureReader reader(path);
    return reader.readFrom(offset, most);
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
    // Each case in a copy of this worker, made before the case and ended
    // after it; the worker itself never runs one, so every copy is fresh.
    bool copyEachCase;
};

// The worker's end of the findings pipe, for its fault handler.
int workerFindings = -1;

// Signal-safe: a message built on the stack, one write.
void tellFault(unsigned long code, const void* pc) {
    char bytes[kFaultMessageSize];
    faultMessage(bytes, static_cast<std::uint32_t>(code));
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

struct CaseTask {
    const WorkerStart* start;
    CaptureReader* capture;
    int findings;
    std::uint32_t position;
};

// Says the case started, runs it and says what it found. Nonzero when the
// parent can no longer be told.
int runTask(void* context) {
    const CaseTask& task = *static_cast<CaseTask*>(context);
    const std::uint64_t offset = task.capture->end();
    std::string started;
    putNumber(started, task.position);
    putWide(started, offset);
    const std::string starting = workerMessage('S', started);
    if (!platform::writeAll(task.findings, starting.data(), starting.size()))
        return 1;
    CaseFinding finding = task.start->client->runInWorker(task.position);
    std::fflush(nullptr);
    finding.report = task.capture->readFrom(offset);
    std::string payload = encodeFinding(task.position, finding);
    putWide(payload, task.capture->end());
    const std::string ended = workerMessage('E', payload);
    return platform::writeAll(task.findings, ended.data(), ended.size()) ? 0 : 1;
}

// The 'D' message: the copy that ran the case at `position` ended before
// the case did, and how; then where its lines end in the capture file, which
// the next case's copy may already be writing on.
std::string endedMessage(std::uint32_t position, const platform::WorkerEnd& end,
                         std::uint64_t captureEnd) {
    std::string payload;
    putNumber(payload, position);
    putNumber(payload, (end.exited ? 1u : 0u) | (end.aborted ? 2u : 0u));
    putNumber(payload, static_cast<std::uint32_t>(end.status));
    putNumber(payload, static_cast<std::uint32_t>(end.fault));
    putNumber(payload, static_cast<std::uint32_t>(end.signal));
    putWide(payload, captureEnd);
    return workerMessage('D', payload);
}

platform::WorkerEnd readEnd(MessageReader& in) {
    platform::WorkerEnd end;
    const std::uint32_t how = in.number();
    end.exited = (how & 1u) != 0;
    end.aborted = (how & 2u) != 0;
    end.status = static_cast<int>(in.number());
    end.fault = in.number();
    end.signal = static_cast<int>(in.number());
    return end;
}

int serveCases(int tasks, int findings, void* context) {
    const WorkerStart& start = *static_cast<WorkerStart*>(context);
    workerFindings = findings;
    start.client->becomeWorker(start.capture);
    platform::installFaultHook(tellFault);
    // Kept open and read on from where the last case's lines ended: no look
    // at the file's size between cases.
    CaptureReader capture(start.capture);
    capture.skipToEnd();
    CaseTask task{&start, &capture, findings, 0};
    while (readExactly(tasks, &task.position, sizeof task.position)) {
        if (!start.copyEachCase) {
            if (runTask(&task) != 0)
                return 1;
            continue;
        }
        // The copies before this one wrote on since the reader last looked.
        capture.skipToEnd();
        platform::WorkerEnd end;
        if (!platform::runInCopy(runTask, &task, end))
            return 1;
        if (end.returned && end.exited && end.status == 0)
            continue;
        if (end.returned) // it could not tell the parent
            return 1;
        capture.skipToEnd();
        const std::string ended = endedMessage(task.position, end, capture.end());
        if (!platform::writeAll(findings, ended.data(), ended.size()))
            return 1;
    }
    std::fflush(nullptr);
    return 0;
}

// ---- the parent ---------------------------------------------------------------

// Workers that may end before their first case (a machine that refuses a
// process now and then) before a case is blamed for it.
constexpr unsigned kFailedStartsForgiven = 3;

// Every live worker, for the alarm's handler.
constexpr std::size_t kMostWorkers = 256;
// Slot i's worker at i, its spare at kMostWorkers + i.
std::atomic<std::intptr_t> liveWorkers[2 * kMostWorkers];

// The run's capture files and their folder, for the alarm's handler to
// remove after it ends the workers: an abort runs no destructor.
struct LeftBehind {
    std::vector<std::string> files;
    std::string folder;
};
std::atomic<const LeftBehind*> leftBehindOnAbort{nullptr};

using Clock = std::chrono::steady_clock;

struct Slot {
    platform::WorkerProcess process;
    std::string capture;
    bool ranOne = false;
    bool begunAny = false; // it has said a case started
    // The cases handed to the worker and not ended, the running one first.
    std::deque<std::size_t> queued;
    std::uint64_t offset = 0;     // where the running case's lines start
    std::uint64_t captureEnd = 0; // where the last ended case's lines ended
    unsigned long fault = 0;
    Clock::time_point started; // of the running case
    std::string inbox;
    // With fresh workers, the worker for the slot's next case, started while
    // this one runs and waiting for its task, with a capture file of its own.
    platform::WorkerProcess spare;
    std::string spareCapture;
    unsigned generation = 0;
};

class Pool {
public:
    Pool(CasePoolClient& client, std::size_t count, const PoolSettings& settings)
        : client_(client), count_(count), settings_(settings),
          copies_(settings.isolate && platform::processesCanBeCopied()),
          freshWorkers_(settings.isolate && !copies_),
          slots_(std::min<std::size_t>(std::max(settings.jobs, 1u), kMostWorkers)),
          attempts_(count, 0), pending_(count) {
        leftBehind_.folder = settings_.folder;
        for (std::size_t i = 0; i < slots_.size(); ++i)
            for (unsigned generation = 0; generation < (freshWorkers_ ? 2u : 1u); ++generation) {
                const std::string capture = captureName(i, generation);
                leftBehind_.files.push_back(capture);
                // A worker started again by name makes a status file beside it.
                if (char* status = statusPathFor(nullptr, capture.c_str())) {
                    leftBehind_.files.push_back(status);
                    std::free(status);
                }
            }
        leftBehindOnAbort.store(&leftBehind_, std::memory_order_release);
    }

    ~Pool() {
        leftBehindOnAbort.store(nullptr, std::memory_order_release);
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            stop(i, true);
            stopSpare(i, true);
        }
        platform::reapReleased(true);
    }

    bool run() {
        if (count_ != 0)
            client_.awaiting(0);
        while (nextTaken_ < count_) {
            if (!dispatch())
                return false;
            collect();
            takeInOrder();
        }
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            stop(i, false);
            stopSpare(i, false);
        }
        return true;
    }

private:
    std::size_t workWaiting() const { return redo_.size() + (count_ - nextFresh_); }

    // A worker holds a second case while plenty wait, so that it starts the
    // next one without a round trip to the parent; near the end, one, so
    // that no case waits behind another while a worker is idle.
    std::size_t depth() const {
        return !freshWorkers_ && workWaiting() >= 2 * slots_.size() ? 2 : 1;
    }

    // Hands the workers cases, starting workers as needed. False when the
    // first worker could not be started.
    bool dispatch() {
        for (std::size_t i = 0; i < slots_.size() && workWaiting() != 0; ++i) {
            Slot& slot = slots_[i];
            if (slot.queued.size() >= depth())
                continue;
            if (slot.process.process != 0 && freshWorkers_ && slot.ranOne) {
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
            while (slot.queued.size() < depth() && workWaiting() != 0) {
                std::size_t position;
                if (!redo_.empty()) {
                    position = redo_.front();
                    redo_.pop_front();
                } else {
                    position = nextFresh_++;
                }
                if (slot.queued.empty()) {
                    // Where its lines will start, should it end before it says.
                    slot.offset = slot.captureEnd;
                    slot.fault = 0;
                    slot.started = Clock::now();
                }
                slot.queued.push_back(position);
                slot.ranOne = true;
                const std::uint32_t task = static_cast<std::uint32_t>(position);
                // A worker that cannot take it has ended: what it said before
                // is still to be read, and the end of its pipe follows.
                if (!platform::writeAll(slot.process.tasks, &task, sizeof task))
                    break;
            }
            // The next case's process starts while this one runs, so that a
            // case's end is not followed by a process start.
            if (freshWorkers_ && slot.spare.process == 0 && workWaiting() != 0) {
                slot.spareCapture = captureName(i, ++slot.generation);
                if (startWorkerFor(slot.spare, slot.spareCapture))
                    liveWorkers[kMostWorkers + i].store(slot.spare.process);
            }
        }
        return true;
    }

    // One capture file a slot, its workers' lines one after another: each
    // case's start is where the file ends when it starts. An isolated slot
    // has two, its running worker's and its spare's.
    std::string captureName(std::size_t i, unsigned generation) const {
        std::string name = settings_.folder + "/worker-" + std::to_string(i);
        if (freshWorkers_)
            name += generation % 2 == 0 ? "a" : "b";
        return name + ".out";
    }

    bool startWorkerFor(platform::WorkerProcess& process, const std::string& capture) {
        WorkerStart context{&client_, capture, copies_};
        std::vector<std::string> relaunch = settings_.relaunch;
        relaunch.push_back("-O");
        relaunch.push_back(capture);
        if (!platform::startWorker(process, serveCases, &context, relaunch))
            return false;
        anyStarted_ = true;
        return true;
    }

    // The slot's next worker: its spare when it has one, else a new one.
    bool start(std::size_t i) {
        Slot& slot = slots_[i];
        platform::WorkerProcess process = slot.spare;
        std::string capture = std::move(slot.spareCapture);
        const unsigned generation = slot.generation;
        liveWorkers[kMostWorkers + i].store(0);
        slot = Slot();
        slot.generation = generation;
        if (process.process == 0) {
            capture = captureName(i, generation);
            slot.captureEnd = sizeOf(capture);
            if (!startWorkerFor(process, capture))
                return false;
        } else {
            slot.captureEnd = sizeOf(capture);
        }
        slot.process = process;
        slot.capture = std::move(capture);
        liveWorkers[i].store(slot.process.process);
        return true;
    }

    bool anyAlive() const {
        for (const Slot& slot : slots_)
            if (slot.process.process != 0 || slot.spare.process != 0)
                return true;
        return false;
    }

    platform::WorkerEnd stop(std::size_t i, bool kill) {
        liveWorkers[i].store(0);
        return platform::endWorker(slots_[i].process, kill);
    }

    // A spare never given a case sees its task pipe end and ends.
    void stopSpare(std::size_t i, bool kill) {
        liveWorkers[kMostWorkers + i].store(0);
        platform::endWorker(slots_[i].spare, kill);
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
            if (!slot.queued.empty() && settings_.timeoutSeconds != 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    slot.started + std::chrono::seconds(settings_.timeoutSeconds) - now);
                const int ms = static_cast<int>(std::max<long long>(left.count(), 0)) + 1;
                wait = wait < 0 ? ms : std::min(wait, ms);
            }
        }
        // No worker to wait for (none could start this round): the next
        // dispatch tries again.
        if (fds.empty())
            return;
        const int ready = platform::waitForReadable(fds.data(), fds.size(), wait);
        if (ready >= 0)
            readPipe(owners[static_cast<std::size_t>(ready)]);
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            const Slot& slot = slots_[i];
            if (!slot.queued.empty() && settings_.timeoutSeconds != 0 &&
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
        const char* at = slot.inbox.data();
        const char* const end = at + slot.inbox.size();
        char type;
        MessageReader in{nullptr, nullptr};
        while (takeMessage(at, end, type, in)) {
            if (type == 'S') {
                in.number();
                slot.offset = in.wide();
                slot.fault = 0;
                slot.started = Clock::now();
                slot.begunAny = true;
            } else if (type == 'C') {
                slot.fault = in.number();
            } else if (type == 'E') {
                std::size_t position;
                CaseFinding finding;
                const bool whole = decodeFinding(in, position, finding);
                slot.captureEnd = in.wide();
                if (whole && in.ok && !slot.queued.empty() && position == slot.queued.front()) {
                    finding.attempt = attempts_[position];
                    pending_[position].reset(new CaseFinding(std::move(finding)));
                    slot.queued.pop_front();
                    slot.offset = slot.captureEnd;
                    slot.started = Clock::now();
                }
            } else if (type == 'D') {
                const std::size_t position = in.number();
                const platform::WorkerEnd ended = readEnd(in);
                const std::uint64_t linesEnd = in.wide();
                if (in.ok && !slot.queued.empty() && position == slot.queued.front()) {
                    CaseFinding finding;
                    finding.report = readFrom(slot.capture, slot.offset,
                                              linesEnd > slot.offset ? linesEnd - slot.offset : 0);
                    failed(position, finding, slot.started, false, describe(ended, slot.fault));
                    // The next case's start says where its lines begin.
                    slot.queued.pop_front();
                    slot.fault = 0;
                    slot.started = Clock::now();
                }
            }
        }
        slot.inbox.erase(0, static_cast<std::size_t>(at - slot.inbox.data()));
    }

    // The worker ended, or is ended for its timeout: its running case, if
    // it had one, failed with what the worker wrote of it; the cases queued
    // behind it go to other workers first. A worker that ended before it
    // began any case failed to start, which is no case's fault: its cases
    // go back, a few times a run, before the first of them takes the blame.
    void died(std::size_t i, bool timedOut) {
        Slot& slot = slots_[i];
        std::deque<std::size_t> queued;
        queued.swap(slot.queued);
        if (!timedOut && !slot.begunAny && failedStarts_ < kFailedStartsForgiven) {
            ++failedStarts_;
            stop(i, false);
            redo_.insert(redo_.begin(), queued.begin(), queued.end());
            return;
        }
        CaseFinding finding;
        if (!queued.empty())
            finding.report = readFrom(slot.capture, slot.offset);
        const unsigned long fault = slot.fault;
        const Clock::time_point started = slot.started;
        const platform::WorkerEnd end = stop(i, timedOut);
        if (queued.empty())
            return;
        const std::size_t position = queued.front();
        redo_.insert(redo_.begin(), queued.begin() + 1, queued.end());
        failed(position, finding, started, timedOut,
               timedOut ? "timeout: alarm after " + std::to_string(settings_.timeoutSeconds) + " s"
                        : describe(end, fault));
    }

    // The case at `position` ended with its process: failed, with `death`
    // as its last failure.
    void failed(std::size_t position, CaseFinding& finding, Clock::time_point started,
                bool timedOut, std::string death) {
        finding.verdict = CaseFinding::Verdict::failed;
        finding.attempt = attempts_[position];
        finding.result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
        finding.deathKind = timedOut ? FailureKind::timeout : FailureKind::crash;
        finding.death = std::move(death);
        pending_[position].reset(new CaseFinding(std::move(finding)));
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
        while (nextTaken_ < count_ && pending_[nextTaken_] != nullptr) {
            CaseFinding finding = std::move(*pending_[nextTaken_]);
            pending_[nextTaken_].reset();
            if (client_.takeFinding(nextTaken_, finding)) {
                if (++nextTaken_ < count_)
                    client_.awaiting(nextTaken_);
            } else {
                ++attempts_[nextTaken_];
                redo_.push_front(nextTaken_);
            }
        }
    }

    CasePoolClient& client_;
    std::size_t count_;
    PoolSettings settings_;
    // How --isolate is kept: each case in a copy of a worker that runs none,
    // or, where no process can be copied, each case in a worker of its own.
    const bool copies_;
    const bool freshWorkers_;
    std::vector<Slot> slots_;
    std::vector<unsigned> attempts_;
    // What each case found, from its end to its turn in the run's order: a
    // pointer a case, so the parent's memory stays the cases' names.
    std::vector<std::unique_ptr<CaseFinding>> pending_;
    std::deque<std::size_t> redo_;
    LeftBehind leftBehind_;
    std::size_t nextFresh_ = 0;
    std::size_t nextTaken_ = 0;
    bool anyStarted_ = false;
    unsigned failedStarts_ = 0;
};

} // namespace

bool runInWorkers(CasePoolClient& client, std::size_t count, const PoolSettings& settings) {
    // Readied once in the parent, whose copies inherit the thread's stack
    // bounds and alternate stack rather than each finding them again.
    platform::prepareThreadForFaults();
    Pool pool(client, count, settings);
    return pool.run();
}

int serveTasks(CasePoolClient& client, int tasks, int findings, const std::string& capture) {
    WorkerStart start{&client, capture, false};
    return serveCases(tasks, findings, &start);
}

void killWorkersFromHandler() {
    for (std::atomic<std::intptr_t>& worker : liveWorkers)
        platform::killFromHandler(worker.load());
    if (const LeftBehind* left = leftBehindOnAbort.load(std::memory_order_acquire)) {
        for (const std::string& file : left->files)
            platform::removeFileFromHandler(file.c_str());
        platform::removeFolderFromHandler(left->folder.c_str());
    }
}

} // namespace zkqe
