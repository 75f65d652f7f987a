// SPDX-License-Identifier: MIT
// The record of a run's cases (see case_results.h).
#include "cases/case_results.h"

namespace zkqe {

namespace {

// Written between cases only; read under the failing test's mutex, which
// also orders the appends of failures from several threads.
CaseResult* current = nullptr;

} // namespace

void recordFailuresInto(CaseResult* result) {
    current = result;
}

void recordFailure(const char* text, const char* file, int line, const char* section) {
    if (current == nullptr)
        return;
    CaseFailure failure;
    failure.file = file != nullptr ? file : "";
    failure.line = line;
    failure.text = text != nullptr ? text : "";
    failure.section = section != nullptr ? section : "";
    current->failures.push_back(std::move(failure));
}

void recordSkip(const char* file, int line, const char* why) {
    if (current == nullptr)
        return;
    current->skipReason = why != nullptr ? why : "";
    current->skipFile = file != nullptr ? file : "";
    current->skipLine = line;
}

} // namespace zkqe
