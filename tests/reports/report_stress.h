// SPDX-License-Identifier: MIT
// The strict checker of a report written by many threads at once: N writer
// threads write numbered pieces every way the report offers (free lines,
// lines longer than a stdio buffer, stream pieces of one and of several
// insertions, step tags, failure blocks and, where asked, streams of their
// own on the report's file), while another thread moves the report between
// files or not. Then every file is read back line by line: each piece must
// be there exactly once, whole (a line of its own, a failure block with its
// three lines together), in its thread's order within each file, no line may
// be anything but a piece or a line the report's layout writes, and the
// summary must give the exact counts.
//
// Used by the suite (a short run, compared with a golden text) and by the
// benchmarks (long runs); the figures it prints do not depend on timing.
#ifndef ZKTEST_TESTS_REPORTS_REPORT_STRESS_H
#define ZKTEST_TESTS_REPORTS_REPORT_STRESS_H

#include <zktest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace stress {

struct Figures {
    long written = 0;
    long found = 0;
    long torn = 0;
    long duplicated = 0;
    long outOfOrder = 0;
    bool summaryExact = false;
};

constexpr int kWays = 6;
constexpr int kLongEvery = 60; // one free line in this many is a long one
constexpr std::size_t kLongLength = 10000;
constexpr int kSwitches = 1000;

inline const char* const kFiles[] = {"stress.out", "stress_b.out", "stress_c.out"};

inline std::string idOf(int thread, int piece) {
    return std::to_string(thread) + "." + std::to_string(piece);
}

inline bool isFailure(int piece) {
    return piece % kWays == 3;
}

class Writers : public ZKQETest {
public:
    Writers(int threads, int pieces, bool switching, bool ownStreams)
        : ZKQETest("stress", "", ".", kFiles[0], false, 1 << 30), threads_(threads),
          pieces_(pieces), switching_(switching), ownStreams_(ownStreams) {}

    void runTest() override {
        std::atomic<int> running{threads_};
        std::vector<std::thread> writers;
        for (int w = 0; w < threads_; ++w)
            writers.emplace_back([this, w, &running] {
                write(w);
                --running;
            });
        if (switching_) {
            // A fixed number of moves, spread over the writers' run.
            for (int s = 0; s < kSwitches && running.load() > 0; ++s) {
                changeOutputFile(kFiles[(s + 1) % 3]);
                std::this_thread::yield();
            }
            changeOutputFile(kFiles[0]);
        }
        for (std::thread& writer : writers)
            writer.join();
    }

private:
    void write(int w) {
        qe_ofstream own;
        if (ownStreams_)
            own.open(kFiles[0], qe_filebuf::append);
        const std::string longTail(kLongLength, 'x');
        for (int i = 0; i < pieces_; ++i) {
            const std::string id = idOf(w, i);
            switch (i % kWays) {
            case 0:
                print(("P " + id + (i % kLongEvery == 0 ? " " + longTail : "")).c_str());
                break;
            case 1:
                outStream() << "S " << w << "." << i << "\n";
                break;
            case 2:
                setStepTag(("T " + id).c_str());
                break;
            case 3:
                assertTrue(("F " + id).c_str(), "stress.cpp", i, false, nullptr);
                break;
            case 4:
                outStream() << ("E " + id).c_str() << endl;
                break;
            default:
                if (ownStreams_)
                    own << ("O " + id).c_str() << endl;
                else
                    outStream() << ("S " + id + "\n").c_str();
                break;
            }
        }
    }

    int threads_, pieces_;
    bool switching_, ownStreams_;
};

inline bool startsWith(const std::string& line, const char* start) {
    return line.compare(0, std::char_traits<char>::length(start), start) == 0;
}

// Lines the report's layout writes around the pieces.
inline bool isLayoutLine(const std::string& line) {
    static const char* const starts[] = {
        "## -------", "## TestTag ", "## CompilerId ",   "## MachineId ",
        "## Remark ", "#-------",    "TestTag ",         "CompilerId ",
        "MachineId ", "Remark ",     "## Assertions = ", "## FailedAssertions = "};
    if (line.empty())
        return true;
    for (const char* start : starts)
        if (startsWith(line, start))
            return true;
    return false;
}

// The way piece `i` of a thread is written, as its letter in the report.
inline char letterFor(int piece, bool ownStreams) {
    static const char letters[] = "PSTFEO";
    const char letter = letters[piece % kWays];
    return letter == 'O' && !ownStreams ? 'S' : letter;
}

// The piece a line holds ("S 3.41" from "# S 3.41"), or "" for none.
inline std::string pieceOf(const std::string& line) {
    static const std::pair<const char*, char> starts[] = {
        {"## P ", 'P'}, {"# S ", 'S'}, {"# E ", 'E'}, {"O ", 'O'}, {"##    StepTag = T ", 'T'}};
    for (const auto& start : starts) {
        if (!startsWith(line, start.first))
            continue;
        std::string id = line.substr(std::char_traits<char>::length(start.first));
        const std::size_t blank = id.find(' ');
        // Only a long free line has more than its id: exactly its tail.
        if (blank != std::string::npos) {
            if (start.second != 'P' ||
                id.compare(blank + 1, std::string::npos, std::string(kLongLength, 'x')) != 0)
                return "";
            id.resize(blank);
        }
        return std::string(1, start.second) + " " + id;
    }
    return "";
}

inline Figures check(int threads, int pieces, bool switching, bool ownStreams) {
    Figures figures;
    figures.written = static_cast<long>(threads) * pieces;
    std::map<std::string, int> seen;
    long assertionsLines = 0, assertionsValue = -1, failedValue = -1;
    const int files = switching ? 3 : 1;
    for (int f = 0; f < files; ++f) {
        std::ifstream in(kFiles[f], std::ios::binary);
        std::vector<int> last(static_cast<std::size_t>(threads), -1);
        std::vector<std::string> lines;
        // Text files on Windows end their lines with "\r\n".
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
        for (std::size_t n = 0; n < lines.size(); ++n) {
            const std::string& line = lines[n];
            std::string piece = pieceOf(line);
            if (startsWith(line, "## -       AssertionTag = F ")) {
                const std::string id =
                    line.substr(std::char_traits<char>::length("## -       AssertionTag = F "));
                const std::size_t dot = id.find('.');
                const bool whole =
                    n + 2 < lines.size() && dot != std::string::npos &&
                    lines[n + 1] == "## -       FileName     = stress.cpp" &&
                    lines[n + 2] == "## -       LineNumber   = " + id.substr(dot + 1);
                if (!whole) {
                    ++figures.torn;
                    continue;
                }
                piece = "F " + id;
                n += 2;
            } else if (piece.empty()) {
                if (startsWith(line, "## Assertions = ")) {
                    ++assertionsLines;
                    assertionsValue = std::atol(line.c_str() + 16);
                } else if (startsWith(line, "## FailedAssertions = ")) {
                    failedValue = std::atol(line.c_str() + 22);
                }
                if (!isLayoutLine(line))
                    ++figures.torn;
                continue;
            }
            const std::size_t dot = piece.find('.');
            const int w = std::atoi(piece.c_str() + 2);
            const int i = std::atoi(piece.c_str() + dot + 1);
            if (w < 0 || w >= threads || i < 0 || i >= pieces ||
                piece[0] != letterFor(i, ownStreams)) {
                ++figures.torn;
                continue;
            }
            if (++seen[idOf(w, i)] > 1)
                ++figures.duplicated;
            else
                ++figures.found;
            if (i <= last[static_cast<std::size_t>(w)])
                ++figures.outOfOrder;
            last[static_cast<std::size_t>(w)] = i;
        }
    }
    long failures = 0;
    for (int i = 0; i < pieces; ++i)
        failures += isFailure(i) ? threads : 0;
    figures.summaryExact =
        assertionsLines == 1 && assertionsValue == failures && failedValue == failures;
    return figures;
}

// Writes and checks; the report's files are removed before and after.
inline Figures run(int threads, int pieces, bool switching, bool ownStreams) {
    for (const char* file : kFiles)
        std::remove(file);
    ZKQESingletonAssertionCounter::clearCount();
    ZKQESingletonAssertionFailedCounter::clearCount();
    {
        Writers writers(threads, pieces, switching, ownStreams);
        writers.go();
    }
    const Figures figures = check(threads, pieces, switching, ownStreams);
    for (const char* file : kFiles)
        std::remove(file);
    return figures;
}

inline void print(const Figures& figures, int threads, bool switching) {
    std::printf("%d threads, %s: written %ld, found %ld, torn %ld, duplicated %ld, out of order "
                "%ld, summary %s\n",
                threads, switching ? "switching" : "one file", figures.written, figures.found,
                figures.torn, figures.duplicated, figures.outOfOrder,
                figures.summaryExact ? "exact" : "wrong");
}

inline bool clean(const Figures& figures) {
    return figures.found == figures.written && figures.torn == 0 && figures.duplicated == 0 &&
           figures.outOfOrder == 0 && figures.summaryExact;
}

} // namespace stress

#endif
