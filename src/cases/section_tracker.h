// SPDX-License-Identifier: MIT
// Which sections of a case to enter on each of its runs.
//
// The sections met so far form a tree. On a run, at each level, the first
// section not yet done is entered and the others are skipped; a section is
// done when a run has left it with every section found inside it done. A
// run that ends in an exception marks the innermost section it was in as
// done (that leaf, or the case itself outside every section); a section it
// passes on the way out is judged by its children only if an earlier run
// went through it to its end, and so met every one of them. The rest of the
// tree still runs, each leaf once. The case is finished when its root is
// done.
//
// The tracker is the runner thread's alone: a section met on another thread
// finds none and always runs.
#ifndef ZKQE_CASES_SECTION_TRACKER_H
#define ZKQE_CASES_SECTION_TRACKER_H

#include "zkqe_mutex.h"
#include "zkqe_test.h"

#include <memory>
#include <string>
#include <vector>

namespace zkqe {

class SectionTracker {
public:
    // Each section entered becomes `runner`'s step tag.
    explicit SectionTracker(ZKQETest& runner) : runner_(runner) {}

    // Forgets the tree: a new case starts.
    void startCase();
    void startRun();
    // `aborted` when an exception ended the run.
    void endRun(bool aborted);
    bool caseFinished() const { return root_.done; }

    // Whether the section is entered on this run; when it is, the path to it
    // (names joined by " / ") is the run's new step.
    bool enter(const char* name, int line);
    void leave(bool unwinding);
    // Which of `count` values the generator on `line` gives on this run. A
    // generator is a node whose values are its children, one entered per
    // run, and it stays entered until its enclosing section or the run ends,
    // so what follows it runs once per value.
    std::size_t generate(int line, std::size_t count);
    const std::string& path() const { return path_; }
    // The section a failure is in now, from any thread: the path entered
    // last, its parent once it ends, or where an exception that ended it
    // began; empty outside every section.
    std::string section() const;

private:
    struct Node {
        std::string name;
        int line = 0;
        bool done = false;
        bool runToEnd = false;
        bool childEntered = false;
        bool generator = false; // its children are its values
        bool implicit = false;  // a generator or a value: left with its enclosing section
        Node* parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;
    };
    void finishNode(Node& node, bool unwinding);
    void leaveImplicit(bool unwinding);
    static bool allChildrenDone(const Node& node);
    static void clearEntered(Node& node);
    void rebuildPath();

    ZKQETest& runner_;
    Node root_;
    Node* current_ = &root_;
    bool abortMarked_ = false;
    std::string path_;
    // Guards path_ against section() from the case's other threads.
    mutable ZKQEMutex pathMutex_;
};

// The tracker of the case running now on this thread, or null.
SectionTracker* activeSectionTracker();
void setActiveSectionTracker(SectionTracker* tracker);

} // namespace zkqe

#endif
