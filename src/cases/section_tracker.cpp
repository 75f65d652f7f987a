// SPDX-License-Identifier: MIT
// The section tracker (see section_tracker.h) and zktest::Section, its face
// in a case body.
#include "cases/section_tracker.h"

#include "zktest_cases.h"

#include <exception>

namespace zkqe {

namespace {
thread_local SectionTracker* activeTracker = nullptr;
}

SectionTracker* activeSectionTracker() {
    return activeTracker;
}

void setActiveSectionTracker(SectionTracker* tracker) {
    activeTracker = tracker;
}

void SectionTracker::startCase() {
    root_.children.clear();
    root_.done = false;
    root_.runToEnd = false;
}

void SectionTracker::startRun() {
    clearEntered(root_);
    current_ = &root_;
    abortMarked_ = false;
    ZKQEMutexGuard guard(pathMutex_);
    path_.clear();
}

void SectionTracker::endRun(bool aborted) {
    leaveImplicit(aborted);
    finishNode(root_, aborted);
    current_ = &root_;
}

bool SectionTracker::enter(const char* name, int line) {
    Node& parent = *current_;
    Node* child = nullptr;
    for (const auto& existing : parent.children)
        if (existing->line == line && existing->name == name)
            child = existing.get();
    if (child == nullptr) {
        parent.children.push_back(std::make_unique<Node>());
        child = parent.children.back().get();
        child->name = name;
        child->line = line;
        child->parent = &parent;
    }
    if (child->done || parent.childEntered)
        return false;
    parent.childEntered = true;
    current_ = child;
    rebuildPath();
    runner_.setStepTag(path_.c_str());
    return true;
}

std::size_t SectionTracker::generate(int line, std::size_t count) {
    Node& parent = *current_;
    Node* generator = nullptr;
    for (const auto& existing : parent.children)
        if (existing->generator && existing->line == line)
            generator = existing.get();
    if (generator == nullptr) {
        parent.children.push_back(std::make_unique<Node>());
        generator = parent.children.back().get();
        generator->line = line;
        generator->parent = &parent;
        generator->generator = generator->implicit = true;
        // Every value is known from the start, so the generator is done
        // only when each has run.
        for (std::size_t i = 0; i < count; ++i) {
            generator->children.push_back(std::make_unique<Node>());
            Node& value = *generator->children.back();
            value.name = "[" + std::to_string(i) + "]";
            value.line = line;
            value.parent = generator;
            value.implicit = true;
        }
    }
    std::size_t index = 0;
    while (index + 1 < generator->children.size() && generator->children[index]->done)
        ++index;
    if (generator->children.empty())
        return 0;
    current_ = generator->children[index].get();
    rebuildPath();
    runner_.setStepTag(path_.c_str());
    return index;
}

void SectionTracker::leaveImplicit(bool unwinding) {
    while (current_->implicit) {
        Node& node = *current_;
        // A generator is never left midway: it is done when its values are.
        if (node.generator)
            node.done = allChildrenDone(node);
        else
            finishNode(node, unwinding);
        current_ = node.parent;
    }
}

void SectionTracker::leave(bool unwinding) {
    leaveImplicit(unwinding);
    Node& node = *current_;
    finishNode(node, unwinding);
    current_ = node.parent;
    // An exception's failure is told after the unwinding, and belongs where
    // it began.
    if (!unwinding)
        rebuildPath();
}

std::string SectionTracker::section() const {
    ZKQEMutexGuard guard(pathMutex_);
    return path_;
}

void SectionTracker::finishNode(Node& node, bool unwinding) {
    if (!unwinding) {
        node.runToEnd = true;
        node.done = allChildrenDone(node);
    } else if (!abortMarked_) {
        // The innermost section the exception passes is where it began:
        // what it holds after that point never runs.
        node.done = true;
        abortMarked_ = true;
    } else if (node.runToEnd) {
        node.done = allChildrenDone(node);
    }
}

bool SectionTracker::allChildrenDone(const Node& node) {
    for (const auto& child : node.children)
        if (!child->done)
            return false;
    return true;
}

void SectionTracker::clearEntered(Node& node) {
    node.childEntered = false;
    for (const auto& child : node.children)
        clearEntered(*child);
}

void SectionTracker::rebuildPath() {
    ZKQEMutexGuard guard(pathMutex_);
    path_.clear();
    for (const Node* node = current_; node != &root_; node = node->parent)
        if (!node->generator)
            path_.insert(0, path_.empty() ? node->name : node->name + " / ");
}

} // namespace zkqe

zktest::Section::Section(const char* /*file*/, int line, const char* name)
    : entered_(false), uncaughtAtEntry_(std::uncaught_exceptions()) {
    zkqe::SectionTracker* tracker = zkqe::activeSectionTracker();
    // Outside the runner (a body called by hand) every section runs.
    entered_ = tracker == nullptr || tracker->enter(name != nullptr ? name : "", line);
}

std::size_t zktest::generatedIndex_(int line, std::size_t count) {
    zkqe::SectionTracker* tracker = zkqe::activeSectionTracker();
    // Outside the runner, the first value.
    return tracker != nullptr ? tracker->generate(line, count) : 0;
}

zktest::Section::~Section() {
    zkqe::SectionTracker* tracker = zkqe::activeSectionTracker();
    if (entered_ && tracker != nullptr)
        tracker->leave(std::uncaught_exceptions() > uncaughtAtEntry_);
}
