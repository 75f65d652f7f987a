// Several threads writing through copies of one stream: each put reaches the
// file whole, and nothing is lost.
#include "stream_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using zktest_support::asWritten;
using zktest_support::readFile;
using zktest_support::TempDir;

constexpr int kThreads = 8;
constexpr int kLinesPerThread = 10000;

// Runs `write(stream, thread)` on kThreads threads, each with its own copy of
// one stream on `path`. Copies are made and destroyed on this thread only:
// the handle's count is not synchronised.
template <class Write> void writeFromThreads(const std::string& path, Write write) {
    qe_ofstream original(path.c_str(), qe_filebuf::truncate);
    std::vector<std::unique_ptr<qe_ofstream>> copies;
    for (int t = 0; t < kThreads; ++t)
        copies.emplace_back(new qe_ofstream(original));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&copies, &write, t] { write(*copies[t], t); });
    for (auto& thread : threads)
        thread.join();
}

TEST(StreamThreads, EverySinglePutLineArrivesWhole) {
    TempDir dir;
    const std::string path = dir.file("lines.txt");
    writeFromThreads(path, [](qe_ofstream& stream, int t) {
        char line[80];
        for (int i = 0; i < kLinesPerThread; ++i) {
            std::snprintf(line, sizeof line, "thread %d line %05d of a shared file\n", t, i);
            stream << static_cast<const char*>(line);
        }
    });

    const std::string contents = readFile(path);
    const std::string lineEnd = asWritten("\n");
    int nextLine[kThreads] = {};
    int lines = 0;
    std::size_t start = 0;
    while (start < contents.size()) {
        const std::size_t end = contents.find(lineEnd, start);
        ASSERT_NE(std::string::npos, end) << "unterminated text at " << start;
        const std::string line = contents.substr(start, end - start);
        int t = -1;
        int i = -1;
        char tail[40] = {};
        ASSERT_EQ(3, std::sscanf(line.c_str(), "thread %d line %d %39[^\n]", &t, &i, tail))
            << "split line: " << line;
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        char expected[80];
        std::snprintf(expected, sizeof expected, "thread %d line %05d of a shared file", t, i);
        ASSERT_EQ(expected, line);
        // Each thread's lines arrive in the order it wrote them.
        ASSERT_EQ(nextLine[t], i) << line;
        ++nextLine[t];
        ++lines;
        start = end + lineEnd.size();
    }
    EXPECT_EQ(kThreads * kLinesPerThread, lines);
}

TEST(StreamThreads, PiecesOfAChainAreAllWritten) {
    TempDir dir;
    const std::string path = dir.file("pieces.txt");
    writeFromThreads(path, [](qe_ofstream& stream, int t) {
        for (int i = 0; i < kLinesPerThread; ++i)
            stream << t << ":" << i << " piece" << endl;
    });

    // Pieces of different threads may interleave, so only totals are fixed.
    std::size_t expectedSize = 0;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kLinesPerThread; ++i)
            expectedSize += std::to_string(t).size() + 1 + std::to_string(i).size() +
                            asWritten(" piece\n").size();
    const std::string contents = readFile(path);
    EXPECT_EQ(expectedSize, contents.size());
    std::size_t lineFeeds = 0;
    std::size_t colons = 0;
    for (char c : contents) {
        lineFeeds += c == '\n';
        colons += c == ':';
    }
    EXPECT_EQ(static_cast<std::size_t>(kThreads * kLinesPerThread), lineFeeds);
    EXPECT_EQ(static_cast<std::size_t>(kThreads * kLinesPerThread), colons);
}

} // namespace
