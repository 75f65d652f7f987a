// SPDX-License-Identifier: MIT
// TAP version 14 for a run of cases, streamed: the plan before the first
// case (after the last when hooks may add points), a test point as each
// case ends, so a reader sees progress and
// a run cut short shows where. A failed case's test point carries a YAML
// block with each failure's place and text.
#ifndef ZKQE_CASES_TAP_OUTPUT_H
#define ZKQE_CASES_TAP_OUTPUT_H

#include "cases/case_results.h"

#include <cstddef>
#include <cstdio>
#include <string>

namespace zkqe {

void writeTapVersion(std::FILE* file);
// Before the first test point when the count is known then (a run without
// hooks), else after the last: a failed hook is a test point too.
void writeTapPlan(std::FILE* file, std::size_t points);
// `number` counts from 1, in the order of the plan.
void writeTapPoint(std::FILE* file, std::size_t number, const CaseResult& result);
// The run ended before its plan was done (the failure limit).
void writeTapBailOut(std::FILE* file, const std::string& why);

} // namespace zkqe

#endif
